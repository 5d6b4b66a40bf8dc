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
    DWORD needed = GetTempPathW(0, nullptr);  // with the terminating null
    if (needed == 0) return fallback;
    std::wstring folder(needed, L'\0');
    DWORD length = GetTempPathW(needed, &folder[0]);
    if (length == 0 || length >= needed) return fallback;
    folder.resize(length);
    return folder;
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
