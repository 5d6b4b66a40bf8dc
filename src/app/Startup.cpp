// The process entry: crash handler, COM and the window library, the single-instance guard
// keyed by the package identifier, then the main window and its message loop.

#include "app/Startup.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <objbase.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/CrashHandler.h"
#include "app/FreshStart.h"
#include "app/StartupReport.h"
#include "base/ScopedHandle.h"
#include "config/DownloaderConfigInstance.h"
#include "probes/EnvironmentInstance.h"
#include "shell/AppModuleInstance.h"
#include "shell/MessageLoop.h"
#include "stats/StatisticsMgrInstance.h"
#include "transfer/DownloadManager.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/MainDlg.h"
#include "workflow/ProgramWindows.h"
#include "workflow/WorkflowStateInstance.h"
#include "workflow/WorkflowTexts.h"

namespace {

// A running copy that does not answer within this time is left alone: a later start must
// never hang with it.
constexpr UINT kHandOverTimeoutMs = 5000;
// How long a closing program waits for a configuration fetch it has cancelled.
constexpr DWORD kConfigThreadBoundMs = 2000;

constexpr wchar_t kCannotStartText[] =
    L"无法创建下载器窗口，程序即将退出。\r\n请稍后重新运行下载器。";

DownloadWindowServices ProgramServices() {
    DownloadWindowServices services;
    services.config = &g_Config;
    services.workflow = &g_Workflow;
    services.engine = &CDownloadManager::Instance();
    services.statistics = g_pStatisticsMgr;
    return services;
}

// Test builds only: VEXA_TRACE_LOG names a file that gets one line per visible step of the
// windows (the hand-over, the download window's modes), for the end-to-end tests.
DownloadWindowOptions ProgramOptions() {
    DownloadWindowOptions options;
#ifdef VEXA_TEST_BUILD
    std::wstring log = TraceLogPath();
    if (!log.empty()) {
        options.trace = [log](const std::wstring& line) { AppendTraceLine(log, line); };
    }
#endif
    return options;
}

// True when another copy for the same package holds the mutex. A copy running elevated or
// under another account makes CreateMutexW fail with "access denied" and no handle: that
// copy runs all the same.
bool AnotherCopyRuns(HANDLE mutex, DWORD lastError) {
    if (lastError == ERROR_ACCESS_DENIED) return true;
    return mutex && lastError == ERROR_ALREADY_EXISTS;
}

// Another copy for the same package runs: ask its download window (whose class name is
// the identifier) to show itself. Without such a window the message goes nowhere.
void HandOverToRunningCopy(const std::wstring& packageId) {
    HWND running = ::FindWindowW(packageId.c_str(), nullptr);
    DWORD_PTR result = 0;
    DWORD error = 0;
    if (running && !::SendMessageTimeoutW(running, WM_COMMAND, kShowCommand, 0, SMTO_ABORTIFHUNG,
                                          kHandOverTimeoutMs, &result)) {
        error = ::GetLastError();
    }
    ReportStartup(StartupPath::HandedOver, error);
}

// Test builds only: VEXA_TEST_FAIL_MAIN_WINDOW=N makes the first N creations of the main
// window fail for real (they are given a parent window that does not exist).
HWND ParentForAttempt(int attempt) {
#ifdef VEXA_TEST_BUILD
    wchar_t value[16] = {};
    if (::GetEnvironmentVariableW(L"VEXA_TEST_FAIL_MAIN_WINDOW", value, 16) &&
        attempt <= _wtoi(value))
        return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xDEAD0));
#else
    (void)attempt;
#endif
    return nullptr;
}

bool CreateMainWindowOnce(CMainDlg& mainDlg, const std::wstring& title, int attempt) {
    RECT rect = {0, 0, 400, 200};
    if (mainDlg.Create(ParentForAttempt(attempt), rect, title.c_str(),
                       WS_POPUP | WS_VISIBLE | WS_SYSMENU)) {
        return true;
    }
    bool classFailed = mainDlg.GetFailedCreateStep() == CWindowImplBase::CreateStep::WindowClass;
    ReportStartup(classFailed ? StartupPath::WindowClassFailed : StartupPath::WindowCreateFailed,
                  mainDlg.GetCreateError());
    return false;
}

// A failed first window is tried once more; a window destroyed half-way through creation
// may have posted the quit message, which must not end the loop of the second one.
bool CreateMainWindow(CMainDlg& mainDlg, const std::wstring& title) {
    if (CreateMainWindowOnce(mainDlg, title, 1)) return true;
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    return CreateMainWindowOnce(mainDlg, title, 2);
}

// True when the process can make a plain system window. Under Wine a process can be left
// unable to make any window at all: when the desktop's manager (explorer) does not come up
// within Wine's ten seconds, or comes up unable to open the display, the process gets no
// display driver, and every window it makes fails without an error code, the message
// box's too.
bool AnyWindowPossible() {
    ::SetLastError(0);
    HWND probe = ::CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
    if (!probe) return false;
    ::DestroyWindow(probe);
    return true;
}

// Without a first window nothing could ever end the loop, and a start that just vanished
// would leave the user double-clicking again: say so, then end.
// A process that can make no window at all could not show the message box either: it
// hands the start to a fresh process (once), which asks the system for its display anew.
void TellUserWindowFailed() {
    bool restarted = false;
    if (!AnyWindowPossible()) {
        ReportStartup(StartupPath::NoWindowAtAll, ::GetLastError());
        restarted = StartFreshCopy();
    }
    ReportStartup(StartupPath::LoopNotEntered, 0);
    if (restarted) {
        ReportStartup(StartupPath::StartedAgain, 0);
        return;
    }
    ::MessageBoxW(nullptr, kCannotStartText, kProgramName, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// The configuration object is destroyed after the entry point returns, so a configuration
// thread that a close cut short must have ended by then: its fetch is cancelled and the
// thread waited for. One that does not end within the bound (in a blocking call that only
// its time-out ends) could still be using the object, so the process then ends here at
// once, with the exit code of every other path, and runs nothing more of its own. Nothing
// is lost that way: while a configuration thread runs, no download window has existed, so
// nothing was downloaded or counted, and a fetched file takes its name only once whole.
void EndConfigThreadsOrProcess(CMainDlg& first, CProgramWindows& windows) {
    bool ended = first.EndConfigThread(kConfigThreadBoundMs);
    ended = windows.EndConfigThreads(kConfigThreadBoundMs) && ended;
    if (ended) return;
    windows.Trace(L"process ends at once");
    ::TerminateProcess(::GetCurrentProcess(), 0);
}

}  // namespace

int RunMainWindow() {
    auto loop = std::make_unique<CMessageLoop>();
    g_Module.AddMessageLoop(loop.get());
    if (g_pStatisticsMgr && !g_pStatisticsMgr->Start()) {
        // Reports stay queued and are not sent; the program works on without them.
        ::OutputDebugStringW(L"VexaYoral: the statistics worker did not start\n");
    }

    auto windows = std::make_unique<CProgramWindows>(ProgramServices(), ProgramOptions());
    auto mainDlg = std::make_unique<CMainDlg>(windows.get());
    loop->AddMessageFilter(mainDlg.get());
    auto title = std::make_unique<std::wstring>(ProgramTitleFor(g_Config.GetGameName()));

    int exitCode = 0;
    if (CreateMainWindow(*mainDlg, *title)) {
        mainDlg->ShowWindow(SW_SHOWNORMAL);
        exitCode = loop->Run();
    } else {
        TellUserWindowFailed();
    }
    EndConfigThreadsOrProcess(*mainDlg, *windows);

    g_Module.RemoveMessageLoop();
    loop->RemoveMessageFilter(mainDlg.get());
    title.reset();
    mainDlg.reset();
    windows.reset();
    loop.reset();
    return exitCode;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*showCommand*/) {
    InstallCrashHandler();
    _set_invalid_parameter_handler(&OnInvalidParameter);
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    g_Module.Init(nullptr, instance);
    g_Environment.Init(g_Module.GetModuleInstance());

    WaitForReplacedProcess();
    std::wstring packageId = g_Config.GetPackageId();
    // An empty identifier gives an unnamed mutex, so copies without an identity never meet.
    CScopedHandle mutex(
        ::CreateMutexW(nullptr, FALSE, packageId.empty() ? nullptr : packageId.c_str()));
    DWORD lastError = ::GetLastError();
    if (AnotherCopyRuns(mutex.Get(), lastError)) {
        mutex.Reset();  // the running copy's guard is not ours to keep
        HandOverToRunningCopy(packageId);
        return 0;
    }
    // Without a mutex the guard is lost for this run, which is no reason not to run.
    if (!mutex) ReportStartup(StartupPath::MutexError, lastError);

    RunMainWindow();  // its exit code is deliberately not passed on

    g_Module.Term();
    ::CoUninitialize();
    DisarmCrashHandler();
    // The first copy keeps the mutex until the process ends, past the destruction of the
    // process-wide objects (the download-time event still stores its total then).
    mutex.Release();
    return 0;
}
