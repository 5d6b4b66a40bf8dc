#pragma once
// Whether a program file may be started: its Authenticode signature verifies.

#include <string>

// True when WinVerifyTrust accepts the file's embedded signature (no user interface, no
// revocation check over the network). An unsigned, tampered or missing file is not trusted.
bool IsSignedProgram(const std::wstring& path);
