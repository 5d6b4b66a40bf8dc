#pragma once
// Probes of processes and named kernel objects.

#include <windows.h>

#include <string>

// The full path of the executable of process `processId` (ids 0 to 4, the system's own,
// fail at once).
bool GetProcessImagePath(DWORD processId, wchar_t* buffer, DWORD capacity);

// Creates (or opens) the mutex `name`, open to every user, and hands its handle to the
// caller, who keeps it for the life of the process. True when another process already held
// a mutex of that name.
bool ClaimNamedMutex(const wchar_t* name, HANDLE* handle);
