#include "app/StartupReport.h"

#include <cstdio>
#include <string>

#include "base/ScopedHandle.h"
#include "base/TextCodec.h"

namespace {

constexpr wchar_t kLogVariable[] = L"VEXA_STARTUP_LOG";
constexpr wchar_t kTestBuildLogName[] = L"VexaYoral-startup.log";

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

std::wstring LogFilePath() {
    std::wstring path = EnvironmentText(kLogVariable);
#ifdef VEXA_TEST_BUILD
    if (path.empty()) {
        wchar_t temp[MAX_PATH] = {};
        DWORD length = ::GetTempPathW(MAX_PATH, temp);
        if (length > 0 && length < MAX_PATH) path = std::wstring(temp, length) + kTestBuildLogName;
    }
#endif
    return path;
}

// Appending writes go to the end of the file in one call, so lines of copies started at
// the same time do not mix.
void AppendLine(const std::wstring& path, const std::wstring& line) {
    CScopedHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    std::string bytes = Utf8FromWide(line + L"\r\n");
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

const wchar_t* StartupPathName(StartupPath path) {
    switch (path) {
        case StartupPath::HandedOver:
            return L"handed over to another copy";
        case StartupPath::MutexError:
            return L"mutex error";
        case StartupPath::WindowClassFailed:
            return L"window class failed";
        case StartupPath::WindowCreateFailed:
            return L"window creation failed";
        case StartupPath::NoWindowAtAll:
            return L"no window can be made at all";
        case StartupPath::LoopNotEntered:
            return L"message loop not entered";
        case StartupPath::StartedAgain:
            return L"started again in a fresh process";
    }
    return L"unknown";
}

void ReportStartup(StartupPath path, DWORD error) {
    wchar_t line[160] = {};
    _snwprintf(line, 159, L"VexaYoral start-up %lu: %ls (error %lu)",
               static_cast<unsigned long>(::GetCurrentProcessId()), StartupPathName(path),
               static_cast<unsigned long>(error));
    ::OutputDebugStringW((std::wstring(line) + L"\n").c_str());
    std::wstring logPath = LogFilePath();
    if (!logPath.empty()) AppendLine(logPath, line);
}

std::wstring TraceLogPath() { return EnvironmentText(L"VEXA_TRACE_LOG"); }

void AppendTraceLine(const std::wstring& path, const std::wstring& line) { AppendLine(path, line); }
