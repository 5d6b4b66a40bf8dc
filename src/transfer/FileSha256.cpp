#include "transfer/FileSha256.h"

#include <windows.h>

#include <memory>
#include <new>

#include "transfer/FileIntegrity.h"

namespace {

constexpr DWORD kChunkSize = 4u << 20;

}  // namespace

bool FileSha256(const wchar_t* path, Sha256Bytes* digest) {
    digest->fill(0);
    CScopedHandle file;
    uint64_t left = 0;
    if (!OpenFileToHash(path, &file, &left)) return false;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kChunkSize]);
    if (chunk == nullptr) return false;
    CSha256 hash;
    while (left > 0) {
        DWORD want = left < kChunkSize ? static_cast<DWORD>(left) : kChunkSize;
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk.get(), want, &got, nullptr) || got != want) return false;
        hash.Update(chunk.get(), got);
        left -= got;
    }
    // Bytes appended meanwhile would not be covered by the digest.
    DWORD extra = 0;
    if (!ReadFile(file.Get(), chunk.get(), 1, &extra, nullptr) || extra != 0) return false;
    *digest = hash.Final();
    return true;
}
