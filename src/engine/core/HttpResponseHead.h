#pragma once
// The head of an HTTP/1.x response (status line and header fields), parsed into the few
// facts the transfer engine acts on. Knows nothing of sockets.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexa::engine {

// Content-Range of a 206: "bytes first-last/total" ("*" total reads as unknown). The 416
// form "bytes */total" is not valid as a range but still gives the total.
struct ContentRange {
    bool present = false;
    bool valid = false;  // present and well formed
    uint64_t first = 0;
    uint64_t last = 0;  // inclusive
    bool totalKnown = false;
    uint64_t total = 0;
};

struct HttpResponseHead {
    int versionMinor = 1;  // HTTP/1.<minor>
    int status = 0;
    bool hasContentLength = false;
    uint64_t contentLength = 0;
    bool chunked = false;  // Transfer-Encoding ends in "chunked"
    bool connectionClose = false;
    bool multipart = false;  // Content-Type multipart/byteranges
    bool acceptRangesNone = false;
    ContentRange contentRange;
    std::string location;
    std::string etag;  // as sent, quotes included
    std::string lastModified;
    bool hasRetryAfter = false;
    std::string retryAfter;  // raw value: seconds or an HTTP date
    std::string contentEncoding;

    // True when the connection may carry another request after this body.
    bool KeepAlive() const;
    // The validator to send back in If-Range: a strong ETag, else Last-Modified, else "".
    std::string StrongValidator() const;
    // True when this reply names another version of the file than `known` (what
    // StrongValidator() gave for an earlier reply). An ETag is compared with an ETag and a
    // date with a date: a reply that lacks the kind of validator held proves nothing.
    bool Contradicts(const std::string& known) const;
};

// Length of the head including the blank line that ends it, or 0 while `data` does not yet
// hold a complete head.
size_t FindHeadEnd(const char* data, size_t size);

// Parses a complete head. False for anything that is not a well-formed HTTP/1.x head.
bool ParseResponseHead(const char* data, size_t size, HttpResponseHead& out);

// Parses "bytes a-b/total". Exposed for tests.
ContentRange ParseContentRange(const std::string& value);

// Seconds to wait from a Retry-After value: delta seconds, or an IMF-fixdate compared with
// `nowUnix`. -1 when the value cannot be read.
long long RetryAfterSeconds(const std::string& value, long long nowUnix);

}  // namespace vexa::engine
