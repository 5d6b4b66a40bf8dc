#pragma once
// Reading INI values through the private-profile functions, whole.

#include <windows.h>

#include <string>

// The value of `key` in `section` of the INI file `path` (a full path), the empty text when
// it is missing. The buffer grows until the value fits, so long values (many package files,
// long links) arrive whole.
std::wstring ReadProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& path);
