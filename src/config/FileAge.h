#pragma once
// Age checks for cached files in the temporary folder.

#include <windows.h>

#include <cstdint>
#include <string>

// True when `path` exists and its last write lies less than `seconds` seconds back.
bool IsFileYoungerThan(const std::wstring& path, int64_t seconds);
