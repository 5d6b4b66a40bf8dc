#pragma once
// A private folder under the temporary folder for one test, removed with its files.

#include <windows.h>

#include <string>

class CTestTempFolder {
public:
    CTestTempFolder() {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"vexatest-" + std::to_wstring(::GetCurrentProcessId()) +
                L"-" + std::to_wstring(counter_++) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~CTestTempFolder() {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((path_ + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    ::DeleteFileW((path_ + data.cFileName).c_str());
                }
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    CTestTempFolder(const CTestTempFolder&) = delete;
    CTestTempFolder& operator=(const CTestTempFolder&) = delete;

    const std::wstring& Path() const { return path_; }  // ends with a backslash
    std::wstring File(const std::wstring& name) const { return path_ + name; }

    static bool Exists(const std::wstring& path) {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    static long long SizeOf(const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
        return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    static std::string Read(const std::wstring& path) {
        std::string content;
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return content;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            content.append(buffer, got);
        }
        ::CloseHandle(file);
        return content;
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};
