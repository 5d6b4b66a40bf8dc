// A small Windows tool for the benchmark scripts (scripts/bench/): runs one operation of the
// program's own code and prints how long it took inside the process.
//   vexa_bench fingerprint FILE    the file fingerprint (MD5 of at most the last 50 MiB)
//   vexa_bench lzari FILE.lz N     decodes a stored module N times in memory
//   vexa_bench sha256 FILE         the signed-file check's SHA-256 of the whole file (libsodium)
//   vexa_bench bcrypt-sha256 FILE  the same digest by the system's CNG (bcrypt), to compare
//   vexa_bench baseline            does nothing (the process's own memory baseline)

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include <bcrypt.h>

#include "base/HexText.h"
#include "transfer/FileIntegrity.h"
#include "transfer/FileSha256.h"
#include "transfer/LzariDecoder.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

// Runs `compute` (which fills in the digest's text) once and prints the text and its time.
template <class Compute>
int PrintTimed(const char* what, Compute compute) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    std::string text;
    bool ok = compute(&text);
    QueryPerformanceCounter(&end);
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", what);
        return 1;
    }
    std::printf("%s  in-process %.3f s\n", text.c_str(), Seconds(start, end));
    return 0;
}

int Fingerprint(const wchar_t* path) {
    return PrintTimed("fingerprint", [path](std::string* text) {
        Md5Bytes digest;
        if (!FileFingerprint(path, &digest)) return false;
        const std::wstring wide = DigestText(digest);
        text->assign(wide.begin(), wide.end());
        return true;
    });
}

int Sha256(const wchar_t* path) {
    return PrintTimed("sha256", [path](std::string* text) {
        Sha256Bytes digest;
        if (!FileSha256(path, &digest)) return false;
        *text = Sha256Text(digest);
        return true;
    });
}

// The same file read the same way, hashed by the system's own SHA-256.
int BcryptSha256(const wchar_t* path) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) {
        std::fprintf(stderr, "no SHA-256 in bcrypt\n");
        return 1;
    }
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) return 1;
    std::unique_ptr<uint8_t[]> chunk(new uint8_t[4u << 20]);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    size_t n;
    while ((n = std::fread(chunk.get(), 1, 4u << 20, file)) > 0)
        BCryptHashData(hash, chunk.get(), static_cast<ULONG>(n), 0);
    uint8_t digest[32];
    BCryptFinishHash(hash, digest, sizeof digest, 0);
    QueryPerformanceCounter(&end);
    std::fclose(file);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    std::printf("%s  in-process %.3f s\n", HexText(digest, sizeof digest).c_str(),
                Seconds(start, end));
    return 0;
}

int DecodeRepeatedly(const wchar_t* path, int rounds) {
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) return 1;
    std::vector<uint8_t> stored;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        stored.insert(stored.end(), chunk, chunk + n);
    std::fclose(file);
    uint32_t size = 0;
    if (!lzari::ReadDecodedSize(stored.data(), stored.size(), &size)) return 1;
    std::vector<uint8_t> out(size == 0 ? 1 : size);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    size_t produced = 0;
    for (int i = 0; i < rounds; ++i)
        lzari::Decode(stored.data(), stored.size(), out.data(), out.size(), &produced);
    QueryPerformanceCounter(&end);
    double seconds = Seconds(start, end);
    std::printf("%zu -> %zu bytes, %d rounds, %.3f s, %.1f MB/s decoded\n", stored.size(), produced,
                rounds, seconds, produced * static_cast<double>(rounds) / seconds / 1e6);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && wcscmp(argv[1], L"fingerprint") == 0) return Fingerprint(argv[2]);
    if (argc == 4 && wcscmp(argv[1], L"lzari") == 0)
        return DecodeRepeatedly(argv[2], _wtoi(argv[3]));
    if (argc == 3 && wcscmp(argv[1], L"sha256") == 0) return Sha256(argv[2]);
    if (argc == 3 && wcscmp(argv[1], L"bcrypt-sha256") == 0) return BcryptSha256(argv[2]);
    if (argc == 2 && wcscmp(argv[1], L"baseline") == 0) return 0;
    std::fprintf(stderr, "usage: vexa_bench fingerprint FILE | sha256 FILE | bcrypt-sha256 FILE | "
                         "lzari FILE.lz N | baseline\n");
    return 2;
}
