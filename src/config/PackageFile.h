#pragma once
// One file of the package as the configuration document lists it. Texts are kept whole:
// a long link or MD5 text cut short would point nowhere or never match.

#include <cstdint>
#include <string>

struct PackageFile {
    uint64_t size = 0;   // expected size in bytes; 0 when not given
    std::wstring link;   // download link; the file's name is the text after the last "/"
    std::wstring md5;    // expected MD5 text, may be empty
    std::wstring extra;  // the SHA-256 text a signed release names the file by; else empty
};
