#pragma once
// Crash reporting: a crash writes a numbered minidump into a dump folder and starts the
// external uploader with its path.

#include <cstdint>
#include <cwchar>

// Installs the unhandled-exception filter and starts the reporter thread that writes the
// dump, so that even a thread that has run out of stack gets its crash reported. std::terminate
// (an exception no one catches, on any thread) and abort() are reported the same way. May
// be called again; the first process-wide object calls it (app/ProcessGuardInstance.h).
void InstallCrashHandler();
// After this a crash ends the process without a dump or an uploader.
void DisarmCrashHandler();
// Installed as the run-time library's invalid-parameter handler: turns the parameter error
// into a breakpoint exception so that it reaches the crash filter.
void OnInvalidParameter(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                        unsigned int line, uintptr_t reserved);
