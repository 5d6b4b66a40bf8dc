// A look-alike of a system module, planted beside a program: when loaded it leaves
// "<its own file name>.loaded" beside itself. Every function it exports is this one stub.

#include <windows.h>

#include <string>

extern "C" int PlantedStub() { return 0; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH] = {};
    if (!::GetModuleFileNameW(self, path, MAX_PATH)) return TRUE;
    std::wstring marker = std::wstring(path) + L".loaded";
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}
