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
