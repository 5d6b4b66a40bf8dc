// Stands in for a game's installer in the end-to-end tests: records that it ran, and from
// where, by writing its own full path (UTF-8) to a file beside itself named after it with
// ".ran" appended. Extra bytes appended to the program (to make it any size) do no harm.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t self[MAX_PATH * 4] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return 1;
    std::wstring marker = std::wstring(self, length) + L".ran";
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, self, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(bytes, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, self, static_cast<int>(length), &text[0], bytes, nullptr,
                          nullptr);
    // Written under another name first, so the test never reads half a line.
    std::wstring partial = marker + L".part";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || !::MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
    return 0;
}
