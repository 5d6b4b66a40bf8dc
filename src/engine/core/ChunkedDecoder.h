#pragma once
// Decoder of HTTP/1.1 chunked transfer coding. A server that sends a file without a length
// and without Range support may still prove that the body is whole: the last, empty chunk
// says so, which a closed connection never does.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::engine {

class ChunkedDecoder {
public:
    enum class Status { NeedMore, Done, Error };

    // Decodes `size` bytes, appending body bytes to `out`. `consumed` tells how much of the
    // input was used; after Done the rest belongs to the next response.
    Status Feed(const char* data, size_t size, std::vector<char>& out, size_t& consumed);
    bool Finished() const { return state_ == State::Done; }

private:
    enum class State { SizeLine, Data, DataEnd, Trailer, Done, Failed };

    bool EndSizeLine();

    State state_ = State::SizeLine;
    std::vector<char> line_;  // the size or trailer line read so far, without its LF
    uint64_t left_ = 0;       // data bytes left in the current chunk
};

}  // namespace vexa::engine
