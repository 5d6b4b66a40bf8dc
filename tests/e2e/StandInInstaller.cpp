// A stand-in for a game's installer: the package file that "立即安装" starts. It records
// that it ran by writing its command line into "<its own path>.ran", then ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    wchar_t own[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    std::wstring marker = std::wstring(own, length) + L".ran";
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::wstring text = std::wstring(L"ran ") + (commandLine ? commandLine : L"");
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);
    return 0;
}
