#pragma once
// Runs a copy of the crash test program (or the uploader) inside a job object, so that a
// test can tell whether it started any other process, and reads back the dumps it leaves.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct CrashRunResult {
    bool ended = false;  // within the wait
    DWORD startError = 0;  // GetLastError() when the program or its job could not be made
    DWORD exitCode = 0;
    DWORD processesStarted = 0;  // every process the job saw, the program itself included
};

// Runs `program MODE` with `currentFolder` as its current folder.
CrashRunResult RunCrashProgram(const std::wstring& program, const std::wstring& mode,
                               const std::wstring& currentFolder, DWORD waitMs = 120000);

struct DumpSummary {
    bool isMinidump = false;  // signature "MDMP"
    bool hasException = false;
    uint32_t faultingThread = 0;
    uint32_t exceptionCode = 0;
    std::vector<uint32_t> threads;  // from the thread list
};

DumpSummary ReadDumpSummary(const std::wstring& path);

// Waits until `path` exists, at most `waitMs`.
bool WaitForFile(const std::wstring& path, DWORD waitMs = 60000);
