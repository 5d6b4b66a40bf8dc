// Hiding into the notification area, coming back, and the only way out of the program.
#include "config/DownloaderConfig.h"
#include "probes/ScreenProbes.h"
#include "workflow/DLDlg.h"
#include "workflow/WorkflowTexts.h"

void CDLDlg::HideToTray() {
    if (!tray_.Show(m_hWnd, ProgramTitleFor(services_.config->GetGameName()))) {
        // Without an icon a hidden window could not be reached: it waits on the taskbar.
        Trace(L"tray refused");
        ShowWindow(SW_SHOWMINIMIZED);
        return;
    }
    ShowWindow(SW_HIDE);
    Trace(L"hidden");
}

LRESULT CDLDlg::OnTrayMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (wParam != kTrayIconId) return 0;
    if (lParam == WM_LBUTTONUP) SendMessage(WM_COMMAND, kShowCommand, 0);
    if (lParam == WM_RBUTTONUP) ShowTrayMenu();
    return 0;
}

void CDLDlg::ShowTrayMenu() {
    Trace(L"tray menu");
    UINT chosen = tray_.TrackMenu(m_hWnd);
    if (chosen) SendMessage(WM_COMMAND, chosen, 0);
}

void CDLDlg::ShowAndRaise() {
    if (IsFullScreenAppActive()) {
        SetWindowPos(HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    } else {
        ShowWindow(SW_RESTORE);
        SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
        SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    }
    Trace(L"shown");
}

void CDLDlg::Quit() {
    if (closing_) return;
    closing_ = true;
    Trace(L"quit");
    // Never waited for here: the worker may be inside its own start command further down
    // this thread's stack (a folder prompt of the next file is open), and waiting would wait
    // for ourselves. It ends once that command returns; the destructor joins it.
    worker_.RequestStop();
    KillTimer(kNetworkWaitTimer);
    KillTimer(kFileWaitTimer);
    ShutdownEngine();
    turn_.Give();
    tray_.Remove();
    ShowWindow(SW_HIDE);
    DestroyWindow();
    ::PostQuitMessage(0);
}
