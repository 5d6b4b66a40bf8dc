#pragma once
// The name a package file takes on disk: its link's text after the last "/". The download
// folder and this name make the file's path, so the name must be one Windows can create, and
// one that the link carries unchanged to the server.

#include <string>

std::wstring PackageFileNameOf(const std::wstring& link);

// Why `name` cannot be a package file's name, or the empty text when it can. Refused: an empty
// name, "." and "..", characters Windows forbids in names (\ / : * ? " < > | and controls),
// characters that would change the link's meaning (blank, "%", "#", ","), a trailing dot or
// blank, device names (CON, NUL, COM1 ...) and names longer than 200 characters.
std::wstring PackageFileNameProblem(const std::wstring& name);
