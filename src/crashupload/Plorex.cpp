// Plorex.exe, the crash-dump uploader. The program starts it after a crash as
//   "Plorex.exe" "<dump path>" ""
// It sends that dump and the ones left beside it by earlier failed runs to the statistics
// server stamped into it, deletes each dump the server received, keeps the others for the
// next run, and ends on its own: it never shows a window and never waits on anything
// without a limit.

// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

#include "app/ModuleSearch.h"
#include "base/ScopedHandle.h"
#include "config/DeploymentValuesInstance.h"
#include "config/PackageIdentity.h"
#include "crashupload/CrashUploadRun.h"

namespace {

constexpr DWORD kQuietLimitMs = 30000;     // no byte out or in for this long: give up
constexpr DWORD kRunLimitMs = 10 * 60000;  // the whole run, however slowly it moves
constexpr DWORD kWatchIntervalMs = 250;

// A fault in the uploader ends it silently: no error box on top of the crash it reports.
LONG WINAPI EndQuietly(EXCEPTION_POINTERS*) {
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring DumpPathArgument() {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments) return std::wstring();
    std::wstring path = count > 1 ? arguments[1] : L"";
    ::LocalFree(arguments);
    return path;
}

DWORD WINAPI RunUploads(void* run) {
    static_cast<CCrashUploadRun*>(run)->Run();
    return 0;
}

// Waits for the run while it shows signs of life; true when it finished.
bool WatchRun(HANDLE worker, CCrashUploadRun* run) {
    DWORD started = ::GetTickCount();
    while (::WaitForSingleObject(worker, kWatchIntervalMs) == WAIT_TIMEOUT) {
        DWORD now = ::GetTickCount();
        if (now - run->Progress().load() > kQuietLimitMs || now - started > kRunLimitMs)
            return false;
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictModuleSearch();
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(&EndQuietly);
    ::SetPriorityClass(::GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);

    std::wstring dumpPath = DumpPathArgument();
    if (dumpPath.empty()) return 0;
    CCrashUploadRun run(dumpPath, {StatsServerHost(), ReadOwnPackageId(), ReadOwnVersionText()});
    CScopedHandle worker(::CreateThread(nullptr, 0, &RunUploads, &run, 0, nullptr));
    if (!worker) return 1;
    if (!WatchRun(worker.Get(), &run)) {
        // The worker is stuck in the network: end without waiting for it. What was not
        // received stays on disk for the next run.
        ::TerminateProcess(::GetCurrentProcess(), 2);
    }
    return 0;
}
