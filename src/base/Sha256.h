#pragma once
// SHA-256 (libsodium's), incremental so that a package file of any size streams through it.
// A signed release names every package file by this digest.

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Sha256Bytes = std::array<uint8_t, 32>;

class CSha256 {
public:
    CSha256();
    void Update(const void* data, size_t length);
    // Ends the message; the object must not be updated afterwards.
    Sha256Bytes Final();

private:
    crypto_hash_sha256_state state_;
};

Sha256Bytes Sha256Digest(const void* bytes, size_t length);

// 64 lower-case hexadecimal digits.
std::string Sha256Text(const Sha256Bytes& digest);

// Reads 64 hexadecimal digits of either case; false for anything else.
bool ParseSha256Text(const std::wstring& text, Sha256Bytes* digest);
