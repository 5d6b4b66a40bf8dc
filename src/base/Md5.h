#pragma once
// The MD5 message digest (RFC 1321), incremental so that large files can be streamed through
// it in chunks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Md5Bytes = std::array<uint8_t, 16>;

class CMd5 {
public:
    CMd5();
    void Update(const void* data, size_t length);
    // Ends the message; the object must not be updated afterwards.
    Md5Bytes Final();

private:
    void Transform(const uint8_t block[64]);

    std::array<uint32_t, 4> state_;
    uint64_t length_ = 0;  // bytes so far
    std::array<uint8_t, 64> buffer_{};
};

// The digest of one buffer in memory.
Md5Bytes Md5Digest(const void* bytes, size_t length);

// 32 lower-case hexadecimal digits, two per byte in byte order.
std::wstring DigestText(const Md5Bytes& digest);

// True when `text` is the same digest as `expected`, hexadecimal digits compared without
// regard to case (a document may write them in upper case).
bool DigestTextsMatch(const std::wstring& text, const std::wstring& expected);
