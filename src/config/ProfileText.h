#pragma once
// Reading INI values through the private-profile functions, whole.

#include <windows.h>

#include <string>

#include "config/ConfigDocument.h"

// The value of `key` in `section` of the INI file `path` (a full path), the empty text when
// it is missing. The buffer grows until the value fits, so long values (many package files,
// long links) arrive whole.
std::wstring ReadProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& path);

// The configuration document's keys, read from the file `path` as the program reads them.
class CProfileKeyReader : public IConfigKeyReader {
public:
    explicit CProfileKeyReader(const std::wstring& path) : path_(path) {}
    std::wstring Read(const wchar_t* section, const wchar_t* key) override {
        return ReadProfileText(section, key, path_);
    }

private:
    std::wstring path_;
};
