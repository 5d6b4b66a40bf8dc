#pragma once
// The name a package file gets on disk: its link's text after the last "/". Links come from
// the configuration document, fetched over plain HTTP, so the name is accepted only when it
// is one plain Windows file name that stays inside the chosen folder. Portable.

#include <deque>
#include <string>

#include "config/PackageFile.h"

// The link's text after its last "/" (the whole link when it has none), unchecked.
std::wstring LinkFileName(const std::wstring& link);

// True for a plain Windows file name: not empty, at most 255 characters, no path separator,
// drive colon, wildcard, quote, pipe, angle bracket or control character, not "." or "..",
// no trailing dot or blank, and no reserved device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, CONIN$, CONOUT$, with or without an extension).
bool IsPlainFileName(const std::wstring& name);

// The checked name of a package file; false (and `name` left empty) when the link's name is
// not a plain file name.
bool PackageFileNameOf(const PackageFile& file, std::wstring* name);

// True when every file of the package has a plain file name and no two of them name the
// same file (names compare without regard to ASCII case, as the file system does).
bool ArePackageFileNamesSafe(const std::deque<PackageFile>& files);
