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

enum class ConfigThreadEnd {
    kEndedBefore,   // the thread had ended by itself
    kStopped,       // its fetch was cancelled and it ended within the bound
    kStillRunning,  // it still runs (a blocking call that only its time-out ends)
};

// For a program that is closing: cancels `config`'s fetch and waits for `thread` for at
// most `boundMs`. Messages that threads send to the calling thread meanwhile are handled,
// so the thread's last, synchronous report cannot hold it up.
ConfigThreadEnd EndConfigInitThread(HANDLE thread, CDownloaderConfig* config, DWORD boundMs);
