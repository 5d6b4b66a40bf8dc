#pragma once
// Starting the program again in a fresh process, for a start that the system left unable to
// make any window (see AnyWindowPossible in Startup.cpp). Such a process cannot recover by
// itself: the system settles its display once, at its first window. A new process asks for
// the display anew. The new process is marked (environment variable VEXA_FRESH_START, the
// identifier of the process it replaces) so that it never does the same in turn, and waits
// for that process to end before it looks for a running copy of its package.

// Starts the program again with the same command line; false when it could not be started
// (the last error tells why) or when this process is itself such a fresh start.
bool StartFreshCopy();

// In a fresh start: waits (for a generous while) until the process it replaces has ended.
void WaitForReplacedProcess();
