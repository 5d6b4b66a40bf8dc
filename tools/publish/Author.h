#pragma once
// Writing a package's configuration document exactly as the program reads it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigDocument.h"

namespace publish {

enum class DocumentEncoding {
    kUtf16,  // UTF-16 little-endian with a byte-order mark: read alike on every system
    kUtf8,   // no byte-order mark: the program reads it in the user's code page, so ASCII only
};

struct PackageInput {
    std::wstring path;  // a file on disk
    uint64_t size = 0;
    std::wstring md5;  // its fingerprint text
};

struct AuthorRequest {
    std::vector<PackageInput> files;  // in download order; sizes and MD5 texts filled in
    std::wstring baseUrl;             // the download base address, http://host[:port]/path
    std::vector<std::wstring> seedBases;
    ConfigValues values;  // every value but the part list (which comes from the files)
    DocumentEncoding encoding = DocumentEncoding::kUtf16;
    // Keys that only copies with publisher keys read (a signed release's serial and file
    // hashes), written at the end of GameConfig.
    std::vector<std::pair<std::wstring, std::wstring>> releaseKeys;
};

struct AuthorResult {
    std::string document;                // the bytes to publish
    ConfigValues read;                   // what the program will read from them
    std::vector<std::wstring> refusals;  // why the document was not written
    std::vector<std::wstring> warnings;
};

// The links, sizes and MD5 texts come from the files; every other value from the request.
// Refuses (and writes nothing) whatever the program would read differently from what was
// meant: a value with a line break, a list item with a comma, a file name the program
// cannot use, two files of one name, an empty file, a multi-file package without GameStart,
// a text the chosen encoding cannot carry.
AuthorResult AuthorDocument(const AuthorRequest& request);

// The link of a file under the download base address.
std::wstring LinkUnder(const std::wstring& baseUrl, const std::wstring& fileName);

}  // namespace publish
