// Chunked transfer coding: what a server without lengths sends, split anywhere.
#include <gtest/gtest.h>

#include <string>

#include "engine/core/ChunkedDecoder.h"

using vexa::engine::ChunkedDecoder;

namespace {

// Feeds `wire` in pieces of `step` bytes; returns the final status and the body.
ChunkedDecoder::Status Decode(const std::string& wire, size_t step, std::string& body,
                              size_t& used) {
    ChunkedDecoder d;
    std::vector<char> out;
    ChunkedDecoder::Status status = ChunkedDecoder::Status::NeedMore;
    used = 0;
    for (size_t pos = 0; pos < wire.size() && status == ChunkedDecoder::Status::NeedMore;) {
        size_t n = std::min(step, wire.size() - pos), consumed = 0;
        status = d.Feed(wire.data() + pos, n, out, consumed);
        pos += consumed;
        used = pos;
    }
    body.assign(out.begin(), out.end());
    return status;
}

TEST(ChunkedDecoder, BodyIsTheSameHoweverTheBytesArrive) {
    const std::string wire =
        "5\r\nhello\r\n1A;name=value\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nX-Trailer: "
        "1\r\n\r\nNEXT";
    for (size_t step : {1u, 2u, 3u, 7u, 1000u}) {
        std::string body;
        size_t used = 0;
        ASSERT_EQ(ChunkedDecoder::Status::Done, Decode(wire, step, body, used)) << step;
        EXPECT_EQ("helloabcdefghijklmnopqrstuvwxyz", body);
        EXPECT_EQ(wire.size() - 4, used) << "what follows the last chunk is left alone";
    }
}

TEST(ChunkedDecoder, UnfinishedBodyIsNeverDone) {
    std::string body;
    size_t used = 0;
    EXPECT_EQ(ChunkedDecoder::Status::NeedMore, Decode("5\r\nhel", 2, body, used));
    EXPECT_EQ(ChunkedDecoder::Status::NeedMore, Decode("5\r\nhello\r\n0\r\n", 4, body, used))
        << "the blank line after the last chunk is missing";
}

TEST(ChunkedDecoder, MalformedFramingIsAnError) {
    std::string body;
    size_t used = 0;
    EXPECT_EQ(ChunkedDecoder::Status::Error, Decode("x\r\n", 5, body, used));
    EXPECT_EQ(ChunkedDecoder::Status::Error, Decode("5\r\nhelloXX", 5, body, used));
    EXPECT_EQ(ChunkedDecoder::Status::Error, Decode("5 junk\r\nhello\r\n", 5, body, used));
    EXPECT_EQ(ChunkedDecoder::Status::Error, Decode("fffffffffffffffffff\r\n", 30, body, used))
        << "no wrapped sizes";
    EXPECT_EQ(ChunkedDecoder::Status::Error, Decode(std::string(5000, '1'), 100, body, used))
        << "no endless size line";
}

}  // namespace
