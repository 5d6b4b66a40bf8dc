#include "config/FileAge.h"

#include "base/ScopedHandle.h"

namespace {

constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

int64_t UnixSeconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<int64_t>(value.QuadPart / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970;
}

bool LastWriteSeconds(const std::wstring& path, int64_t* seconds) {
    // Backup semantics so that a folder answers too; the file is only looked at.
    CScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) return false;
    FILETIME written = {};
    if (!::GetFileTime(file.Get(), nullptr, nullptr, &written)) return false;
    *seconds = UnixSeconds(written);
    return true;
}

}  // namespace

bool IsFileYoungerThan(const std::wstring& path, int64_t seconds) {
    int64_t written = 0;
    if (!LastWriteSeconds(path, &written)) return false;
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return UnixSeconds(now) - written < seconds;
}
