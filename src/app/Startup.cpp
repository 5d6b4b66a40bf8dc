// The process entry: crash handler, COM and the window library, the single-instance guard
// keyed by the package identifier, then the main window and its message loop.

#include "app/Startup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/CrashHandler.h"
#include "config/DownloaderConfigInstance.h"
#include "probes/EnvironmentInstance.h"
#include "shell/AppModuleInstance.h"
#include "shell/MessageLoop.h"
#include "stats/StatisticsMgrInstance.h"
#include "workflow/MainDlg.h"

namespace {

constexpr UINT kShowDownloadWindowCommand = 2025;

std::wstring FormatMainTitle(const std::wstring& gameName) {
    wchar_t title[512] = {};
    _snwprintf(title, 511, L"VexaYoral下载器-%ls专版", gameName.c_str());
    return title;
}

// Another copy for the same package runs: ask its download window (whose class name is
// the identifier) to show itself. Without such a window the message goes nowhere.
void HandOverToRunningCopy(HANDLE mutex, const std::wstring& packageId) {
    ::CloseHandle(mutex);
    HWND running = ::FindWindowW(packageId.c_str(), nullptr);
    if (running) ::SendMessageW(running, WM_COMMAND, kShowDownloadWindowCommand, 0);
}

}  // namespace

int RunMainWindow() {
    auto loop = std::make_unique<CMessageLoop>();
    g_Module.AddMessageLoop(loop.get());
    if (g_pStatisticsMgr && !g_pStatisticsMgr->Start()) {
        // Reports stay queued and are not sent; the program works on without them.
        ::OutputDebugStringW(L"VexaYoral: the statistics worker did not start\n");
    }

    auto mainDlg = std::make_unique<CMainDlg>();
    loop->AddMessageFilter(mainDlg.get());
    auto title = std::make_unique<std::wstring>(FormatMainTitle(g_Config.GetGameName()));

    RECT rect = {0, 0, 400, 200};
    int exitCode = 0;
    if (mainDlg->Create(nullptr, rect, title->c_str(), WS_POPUP | WS_VISIBLE | WS_SYSMENU)) {
        mainDlg->CenterWindow();
        mainDlg->ShowWindow(SW_SHOWNORMAL);
        exitCode = loop->Run();
    }

    g_Module.RemoveMessageLoop();
    loop->RemoveMessageFilter(mainDlg.get());
    title.reset();
    mainDlg.reset();
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

    std::wstring packageId = g_Config.GetPackageId();
    // An empty identifier gives an unnamed mutex, so copies without an identity never meet.
    HANDLE mutex =
        ::CreateMutexW(nullptr, FALSE, packageId.empty() ? nullptr : packageId.c_str());
    DWORD lastError = ::GetLastError();
    if (mutex && (lastError == ERROR_ALREADY_EXISTS || lastError == ERROR_ACCESS_DENIED)) {
        HandOverToRunningCopy(mutex, packageId);
        return 0;
    }
    // The first copy keeps the mutex open until the process ends.

    RunMainWindow();  // its exit code is deliberately not passed on

    g_Module.Term();
    ::CoUninitialize();
    DisarmCrashHandler();
    return 0;
}
