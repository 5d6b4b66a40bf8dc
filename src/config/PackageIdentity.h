#pragma once
// The package identity: every copy of the program is built for one package, named by the
// FileDescription string of its own version resource.

#include <windows.h>

#include <string>

constexpr size_t kPackageIdMaxChars = 38;        // a GUID in braces
constexpr size_t kVersionTextBufferBytes = 16384;  // fixed block for the version text

// Reads the FileDescription of the first translation of `path`'s version resource into
// `buffer` (kPackageIdMaxChars + 1 characters), cut to kPackageIdMaxChars. True only when
// the string was found and copied.
BOOL QueryPackageId(wchar_t* buffer, const wchar_t* path);

// The identifier of the running program (empty when unreadable).
std::wstring ReadOwnPackageId();

// "%d.%d.%d.%d" of the file version of `path`, or empty when it cannot be read.
std::wstring ReadFileVersionText(const wchar_t* path);

// The file version text of the running program.
std::wstring ReadOwnVersionText();
