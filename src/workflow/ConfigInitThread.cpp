#include "workflow/ConfigInitThread.h"

#include <memory>

#include "workflow/MainDlg.h"
#include "workflow/MainWindowRules.h"

namespace {

struct ThreadStart {
    HWND window;
    CDownloaderConfig* config;
};

DWORD WINAPI RunConfigInit(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    CallBack callback(start->window);
    int result = start->config->Init(&callback);
    ::SendMessageW(start->window, CMainDlg::kConfigReportMessage, static_cast<WPARAM>(result),
                   CMainDlg::kReportFinished);
    return 0;
}

}  // namespace

int CallBack::OnInitStatus(DWORD received, DWORD total, int state, int tag) {
    int percent = InitStatusPercent(received, total, state, tag);
    if (percent >= 0) {
        ::SendMessageW(window_, CMainDlg::kConfigReportMessage, static_cast<WPARAM>(percent),
                       CMainDlg::kReportProgress);
    }
    return 0;
}

HANDLE StartConfigInitThread(HWND window, CDownloaderConfig* config) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{window, config});
    HANDLE thread = ::CreateThread(nullptr, 0, &RunConfigInit, start.get(), 0, nullptr);
    if (thread) start.release();  // the thread owns it now
    return thread;
}

ConfigThreadEnd EndConfigInitThread(HANDLE thread, CDownloaderConfig* config, DWORD boundMs) {
    if (::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return ConfigThreadEnd::kEndedBefore;
    config->CancelInit();
    const ULONGLONG deadline = ::GetTickCount64() + boundMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return ConfigThreadEnd::kStopped;
        if (woke != WAIT_OBJECT_0 + 1) return ConfigThreadEnd::kStillRunning;
        // Peeking delivers the sent messages; nothing posted is taken from the queue.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
