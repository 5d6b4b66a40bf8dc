#include "probes/FileProbes.h"

#include <shlwapi.h>

#include "base/ScopedHandle.h"

uint64_t GetFileSize64(const wchar_t* path) {
    CScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

std::wstring GetTempFolder(const std::wstring& fallback) {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH) return fallback;
    return std::wstring(buffer, length);
}

bool CanCreateFolder(const wchar_t* folder) {
    if (FolderExists(folder)) return true;
    if (!CreateDirectoryW(folder, nullptr)) return false;
    RemoveDirectoryW(folder);
    return true;
}

bool FolderExists(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const wchar_t* path) { return PathFileExistsW(path) != FALSE; }
