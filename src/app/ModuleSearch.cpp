#include "app/ModuleSearch.h"

#include <windows.h>

void RestrictModuleSearch() {
    // Present from Windows 8 on, and on Windows 7 with its loader update; looked up so that
    // the program still starts on a system without it.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (set && set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Without it, at least the current folder is left out of the search.
    ::SetDllDirectoryW(L"");
}
