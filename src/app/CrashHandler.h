#pragma once
// Crash reporting: a crash writes a numbered minidump into a dump folder and starts the
// external uploader with its path.

#include <cstdint>
#include <cwchar>

void InstallCrashHandler();
void DisarmCrashHandler();
// Installed as the run-time library's invalid-parameter handler: turns the parameter error
// into a breakpoint exception so that it reaches the crash filter.
void OnInvalidParameter(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                        unsigned int line, uintptr_t reserved);
