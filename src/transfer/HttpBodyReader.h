#pragma once
// The body loop of the HTTP client, kept apart from WinInet so that its counting rules
// (1024-byte reads, progress on every tenth read, stop at the announced length) build and
// are tested natively.

#include <cstdint>

constexpr uint32_t kHttpReadChunkBytes = 1024;
constexpr uint32_t kHttpProgressEveryReads = 10;

class IHttpBodySource {
public:
    virtual ~IHttpBodySource() = default;
    // Reads up to `capacity` bytes. False on a read error; *received 0 means the end.
    virtual bool Read(void* buffer, uint32_t capacity, uint32_t* received) = 0;
};

class IHttpBodySink {
public:
    virtual ~IHttpBodySink() = default;
    // False when the bytes could not all be stored (for example a full disk).
    virtual bool Write(const void* data, uint32_t size) = 0;
};

class IHttpBodyProgress {
public:
    virtual ~IHttpBodyProgress() = default;
    virtual void OnBodyProgress(uint32_t received, uint32_t total) = 0;
};

struct HttpBodyLength {
    bool known = false;  // the answer carried a readable Content-Length
    uint32_t bytes = 0;
};

struct HttpBodyOutcome {
    bool complete = false;  // the whole body arrived and was stored
    uint64_t received = 0;
    uint32_t reads = 0;  // reads that delivered bytes
};

// Streams the body from `source` into `sink` (may be null: the body is dropped). The body
// is complete only when no read or write failed and, with a known length, all of it came:
// a connection that closes early leaves a cut-off file, which must never pass as good.
HttpBodyOutcome ReadHttpBody(IHttpBodySource& source, IHttpBodySink* sink, HttpBodyLength length,
                             IHttpBodyProgress* progress);
