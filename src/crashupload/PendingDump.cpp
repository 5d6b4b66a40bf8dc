#include "crashupload/PendingDump.h"

bool CPendingDump::Open(const std::wstring& path) {
    file_.Reset(::CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_.IsValid()) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file_.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxDumpBytes)
        return false;
    bytes_.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes_.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(bytes_.size() - done);
        if (!::ReadFile(file_.Get(), bytes_.data() + done, want, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    if (!LooksLikeMinidump(bytes_.data(), bytes_.size())) return false;

    FILETIME lastWrite = {};
    SYSTEMTIME utc = {};
    if (::GetFileTime(file_.Get(), nullptr, nullptr, &lastWrite) &&
        ::FileTimeToSystemTime(&lastWrite, &utc)) {
        written_ = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    }
    return true;
}

bool CPendingDump::Delete() {
    if (!file_.IsValid()) return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(file_.Get(), FileDispositionInfo, &disposition,
                                        sizeof(disposition)) != FALSE;
}
