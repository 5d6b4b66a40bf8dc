#pragma once
// The configuration thread of the main window: it runs the configuration's start-up and
// reports to the window with message 2024 (SendMessageW, so every report is handled on
// the window thread): lParam 5 progress (wParam percent, 0 to 40), lParam 6 finished
// (wParam the result code).

#include <windows.h>

#include "config/DownloaderConfig.h"

// The progress bridge from the configuration's fetches to the window's bar.
class CallBack : public CDownloaderConfig::IConfigInitCallback {
public:
    explicit CallBack(HWND window) : window_(window) {}
    int OnInitStatus(DWORD received, DWORD total, int state, int tag) override;

private:
    HWND window_;
};

// Starts the thread for `window` over `config`; the thread's handle, null when it could not
// start (the window is then told at once that the fetch failed).
HANDLE StartConfigInitThread(HWND window, CDownloaderConfig* config);
