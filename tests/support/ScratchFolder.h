#pragma once
// A fresh, empty folder under the temporary folder for one test, removed with everything in
// it when the test ends.

#include <shellapi.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CScratchFolder {
public:
    // Wine gives out the same process identifiers in every session, and a folder that an
    // earlier run left behind (a program it started still held a file when it was removed)
    // is not fresh: the name taken is the first one that does not exist yet.
    CScratchFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        static unsigned counter = 0;
        for (;;) {
            wchar_t name[64];
            swprintf(name, 64, L"vexa-test-%lu-%u\\", GetCurrentProcessId(), ++counter);
            path_ = std::wstring(temp) + name;
            if (CreateDirectoryW(path_.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    ~CScratchFolder() {
        std::wstring from = path_.substr(0, path_.size() - 1);
        from.push_back(L'\0');  // the shell wants a double-terminated list
        SHFILEOPSTRUCTW op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // The folder, ending with a backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

    static bool Write(const std::wstring& path, const void* bytes, size_t size) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = size == 0 || WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
        CloseHandle(file);
        return ok && written == size;
    }
    static bool Write(const std::wstring& path, const std::string& text) {
        return Write(path, text.data(), text.size());
    }
    static std::vector<uint8_t> Read(const std::wstring& path) {
        std::vector<uint8_t> bytes;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return bytes;
        LARGE_INTEGER size{};
        GetFileSizeEx(file, &size);
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!bytes.empty())
            ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        bytes.resize(got);
        CloseHandle(file);
        return bytes;
    }
    static bool Exists(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

private:
    std::wstring path_;
};
