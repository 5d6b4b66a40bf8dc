#include "app/FreshStart.h"

#include <windows.h>

#include <string>

#include "base/ScopedHandle.h"

namespace {

constexpr wchar_t kFreshStartVariable[] = L"VEXA_FRESH_START";
// The replaced process only starts the new one and ends; the bound keeps a new process from
// waiting for ever on one that hangs in its end.
constexpr DWORD kReplacedEndMs = 60000;

DWORD ReplacedProcessId() {
    wchar_t value[16] = {};
    DWORD length = ::GetEnvironmentVariableW(kFreshStartVariable, value, 16);
    return length > 0 && length < 16 ? static_cast<DWORD>(_wtoi(value)) : 0;
}

}  // namespace

bool StartFreshCopy() {
    if (ReplacedProcessId()) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    wchar_t program[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (!length || length >= MAX_PATH) return false;
    std::wstring commandLine = ::GetCommandLineW();  // CreateProcessW may write to it
    ::SetEnvironmentVariableW(kFreshStartVariable,
                              std::to_wstring(::GetCurrentProcessId()).c_str());
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION started = {};
    BOOL ok = ::CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &started);
    DWORD error = ::GetLastError();
    ::SetEnvironmentVariableW(kFreshStartVariable, nullptr);
    if (!ok) {
        ::SetLastError(error);
        return false;
    }
    CScopedHandle process(started.hProcess);
    CScopedHandle thread(started.hThread);
    return true;
}

void WaitForReplacedProcess() {
    DWORD id = ReplacedProcessId();
    if (!id) return;
    CScopedHandle replaced(::OpenProcess(SYNCHRONIZE, FALSE, id));
    if (replaced.IsValid()) ::WaitForSingleObject(replaced.Get(), kReplacedEndMs);
}
