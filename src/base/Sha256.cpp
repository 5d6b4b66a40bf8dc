#include "base/Sha256.h"

#include "base/HexText.h"

CSha256::CSha256() {
    // Picks the library's implementations; later calls return at once. SHA-256 works
    // without it too, so its answer changes nothing here.
    [[maybe_unused]] const int ready = sodium_init();
    crypto_hash_sha256_init(&state_);
}

void CSha256::Update(const void* data, size_t length) {
    crypto_hash_sha256_update(&state_, static_cast<const unsigned char*>(data), length);
}

Sha256Bytes CSha256::Final() {
    Sha256Bytes digest{};
    crypto_hash_sha256_final(&state_, digest.data());
    return digest;
}

Sha256Bytes Sha256Digest(const void* bytes, size_t length) {
    CSha256 hash;
    hash.Update(bytes, length);
    return hash.Final();
}

std::string Sha256Text(const Sha256Bytes& digest) { return HexText(digest.data(), digest.size()); }

bool ParseSha256Text(const std::wstring& text, Sha256Bytes* digest) {
    std::string narrow;
    for (wchar_t c : text) {
        if (static_cast<uint32_t>(c) >= 0x80) return false;  // never folded onto a digit
        narrow += static_cast<char>(c);
    }
    return ParseHexText(narrow, digest->data(), digest->size());
}
