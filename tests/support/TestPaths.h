#pragma once
// Paths of files that the build places beside a Windows test executable.

#include <windows.h>

#include <string>

inline std::wstring BesideTest(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + file;
}
