#pragma once
// The name a package file takes on disk: its link's text after the last "/". The download
// folder and this name make the file's path. Portable.
//
// Two rules: the publisher's kit writes only names that also travel unchanged in a link
// (PackageFileNameProblem); the program, which reads names from a document fetched over plain
// HTTP, accepts any name that is one plain Windows file name inside the chosen folder
// (IsPlainFileName), and refuses the package otherwise, before anything is written.

#include <deque>
#include <string>

#include "config/PackageFile.h"

std::wstring PackageFileNameOf(const std::wstring& link);

// Why `name` cannot be a package file's name, or the empty text when it can. Refused: an empty
// name, "." and "..", characters Windows forbids in names (\ / : * ? " < > | and controls),
// characters that would change the link's meaning (blank, "%", "#", ","), a trailing dot or
// blank, device names (CON, NUL, COM1 ...) and names longer than 200 characters.
std::wstring PackageFileNameProblem(const std::wstring& name);

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
