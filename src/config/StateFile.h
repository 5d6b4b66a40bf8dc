#pragma once
// The per-package download state file: identifier + ".tmp.cfg" in the temporary folder,
// section "Norvane", read and written only through the private-profile functions.

#include <windows.h>

#include <string>

std::wstring GetStateFilePath();
bool StateFileExists();
void ResetStateFile();
