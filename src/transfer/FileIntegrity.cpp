#include "transfer/FileIntegrity.h"

#include <memory>
#include <new>

#include "base/ScopedHandle.h"
#include "probes/FileProbes.h"

namespace {

constexpr DWORD kChunkSize = 1 << 20;

bool HashSpan(HANDLE file, CFingerprintHasher& hasher) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(hasher.Span().offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kChunkSize]);
    if (chunk == nullptr) return false;
    uint64_t length = hasher.Span().length;
    while (length > 0) {
        DWORD want = length < kChunkSize ? static_cast<DWORD>(length) : kChunkSize;
        DWORD got = 0;
        // A file that shrinks under us fails: its digest would describe other bytes.
        if (!ReadFile(file, chunk.get(), want, &got, nullptr) || got != want) return false;
        hasher.Update(chunk.get(), got);
        length -= got;
    }
    return true;
}

}  // namespace

bool OpenFileToHash(const wchar_t* path, CScopedHandle* file, uint64_t* size) {
    *file = CScopedHandle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER length{};
    if (!file->IsValid() || !GetFileSizeEx(file->Get(), &length) || length.QuadPart <= 0)
        return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool FileFingerprint(const wchar_t* path, Md5Bytes* digest) {
    digest->fill(0);
    CScopedHandle file;
    uint64_t size = 0;
    if (!OpenFileToHash(path, &file, &size)) return false;
    CFingerprintHasher hasher(size);
    if (!HashSpan(file.Get(), hasher)) return false;
    return hasher.Final(digest);
}

bool CheckFileMd5(const wchar_t* path, const std::wstring& expected) {
    // Without a fingerprint there is nothing to compare, not even an all-zero text.
    Md5Bytes digest;
    if (!FileFingerprint(path, &digest)) return false;
    return DigestTextsMatch(DigestText(digest), expected);
}

bool CheckFileSize(const wchar_t* path, uint64_t expected) {
    if (!FileExists(path)) return false;
    uint64_t size = GetFileSize64(path);
    return size != 0 && size == expected;
}

bool CheckPackageFile(const wchar_t* path, uint64_t expectedSize, const std::wstring& expectedMd5,
                      const std::wstring& safecheck) {
    if (safecheck == L"1" && !CheckFileMd5(path, expectedMd5)) return false;
    return CheckFileSize(path, expectedSize);
}
