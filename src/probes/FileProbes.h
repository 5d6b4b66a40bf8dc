#pragma once
// Probes of files and folders.

#include <windows.h>

#include <cstdint>
#include <string>

// Size in bytes of an existing file; 0 when it cannot be opened. A missing path stays missing:
// nothing is created there.
uint64_t GetFileSize64(const wchar_t* path);

// The user's temporary folder (ending with a backslash), of any length, or `fallback` when
// it is unknown. The one place the program asks for it.
std::wstring GetTempFolder(const std::wstring& fallback = std::wstring());

// True when the folder exists, or when it can be created (it is then removed again at once).
bool CanCreateFolder(const wchar_t* folder);

bool FolderExists(const wchar_t* path);
bool FileExists(const wchar_t* path);  // a file or a folder, as PathFileExistsW answers
