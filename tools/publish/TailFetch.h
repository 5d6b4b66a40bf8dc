#pragma once
// Reading the end of a package file the way the engine reads it: ranged requests that follow
// the source's route, replies judged by the engine's own rule, a reply shorter than asked
// (a server that caps the length of one answer) continued by the next request, and an origin
// without Range support read whole in one stream.

#include <cstdint>
#include <string>

#include "HttpFetch.h"

namespace publish {

struct TailFetch {
    std::string size;     // as the server reports it
    std::string range;    // "206", "206 cap" (some replies shorter than asked), "no (200)"
    std::string via;      // the redirect target the bytes came from; empty for the link
    std::string problem;  // empty when every byte from `first` on arrived as the engine takes it
    uint64_t wireBytes = 0;
};

// Hands `sink` bytes [first, listedSize) in order. `fromOrigin`: the download link or the
// companion's, not a seed (the engine reads a whole file only from the origin).
TailFetch FetchTail(const std::string& url, bool fromOrigin, uint64_t listedSize, uint64_t first,
                    int timeoutMs, const BodySink& sink);

}  // namespace publish
