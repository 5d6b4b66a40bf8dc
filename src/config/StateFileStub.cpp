// Stand-in for the state file helpers until their implementation lands (built only while
// StateFile.cpp is absent): the download-time event needs the file's path and existence.

#include "config/PackageIdentity.h"
#include "config/StateFile.h"

std::wstring GetStateFilePath() {
    wchar_t folder[MAX_PATH] = {};
    DWORD length = ::GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(folder, length) + ReadOwnPackageId() + L".tmp.cfg";
}

bool StateFileExists() {
    std::wstring path = GetStateFilePath();
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
