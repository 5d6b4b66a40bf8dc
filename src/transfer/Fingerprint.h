#pragma once
// The fingerprint of a package file: the MD5 of its last 50 MiB (of the whole file when it is
// smaller). Portable: the program reads the bytes from the disk, the publisher's tools from
// the disk or from a server's answer to one Range request.

#include <cstddef>
#include <cstdint>

#include "base/Md5.h"

constexpr uint64_t kFingerprintWindow = 52428800;  // the last 50 MiB of a large file

struct ByteSpan {
    uint64_t offset = 0;
    uint64_t length = 0;
};

// The bytes of a file of `fileSize` bytes that its fingerprint covers.
ByteSpan FingerprintSpan(uint64_t fileSize);

// Hashes the covered bytes as they arrive, in order and in pieces of any size.
class CFingerprintHasher {
public:
    explicit CFingerprintHasher(uint64_t fileSize) : span_(FingerprintSpan(fileSize)) {}
    const ByteSpan& Span() const { return span_; }
    // Bytes beyond the span make the fingerprint fail.
    void Update(const void* data, size_t length);
    // False for an empty file or when the bytes given were not exactly the span's.
    bool Final(Md5Bytes* digest);

private:
    ByteSpan span_;
    CMd5 md5_;
    uint64_t received_ = 0;
};
