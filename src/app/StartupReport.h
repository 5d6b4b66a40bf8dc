#pragma once
// Why start-up ended early. A start that ends without a window must never be silent: each
// early path writes one line to the debugger output and, in test builds or when the
// environment variable VEXA_STARTUP_LOG names a file, appends the same line to that file
// (test builds without the variable use "VexaYoral-startup.log" in the temporary folder).

#include <windows.h>

#include <string>

// Where start-up ended or went astray; the text names the path in the report line.
enum class StartupPath {
    HandedOver,          // another copy for the package runs; it was asked to show itself
    MutexError,          // the single-instance mutex could not be made: run as first copy
    WindowClassFailed,   // the main window's class could not be registered
    WindowCreateFailed,  // the main window could not be created
    NoWindowAtAll,       // not even a plain system window can be made: no display to show on
    LoopNotEntered,      // no main window after the retry: no loop runs; the user is told
    StartedAgain,        // no window at all: the start was handed to a fresh process
};

const wchar_t* StartupPathName(StartupPath path);

// Writes "VexaYoral start-up <pid>: <path> (error <error>)" where the report goes.
void ReportStartup(StartupPath path, DWORD error);

// Test builds: the file named by VEXA_TRACE_LOG, empty when the variable is not set.
std::wstring TraceLogPath();

// Appends one line (UTF-8) to the file at `path`.
void AppendTraceLine(const std::wstring& path, const std::wstring& line);
