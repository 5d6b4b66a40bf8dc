#pragma once
// The work done for one crash: choose the dump folder and file, write the minidump, start
// the uploader beside the program. Runs on the crash reporter's own thread (see
// CrashHandler.cpp); uses fixed buffers only.

#include <windows.h>

// Writes the dump of the exception `pointers` (null: a dump without exception information)
// raised on thread `faultingThreadId`, then starts the uploader when the dump exists.
void WriteCrashReport(EXCEPTION_POINTERS* pointers, DWORD faultingThreadId);
