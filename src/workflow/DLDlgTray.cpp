// Hiding into the notification area, coming back, and the only way out of the program.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include "config/DownloaderConfig.h"
#include "probes/ScreenProbes.h"
#include "workflow/DLDlg.h"

namespace {

constexpr UINT kIconId = 119;

}  // namespace

void CDLDlg::HideToTray() {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = m_hWnd;
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kTrayMessage;
    icon.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    std::wstring tip = L"VexaYoral下载器-" + services_.config->GetGameName() + L"专版";
    lstrcpynW(icon.szTip, tip.c_str(), ARRAYSIZE(icon.szTip));
    if (!trayIconAdded_) trayIconAdded_ = ::Shell_NotifyIconW(NIM_ADD, &icon) != FALSE;
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
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    ::AppendMenuW(menu, MF_STRING, kShowCommand, L"打开下载器");
    ::AppendMenuW(menu, MF_STRING, kQuitCommand, L"关闭");
    POINT at = {};
    ::GetCursorPos(&at);
    SetForegroundWindow();
    Trace(L"tray menu");
    UINT chosen =
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
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
    worker_.Stop();
    KillTimer(1);
    KillTimer(2);
    ShutdownEngine();
    ReleaseTransferMutex();
    DeleteTrayIcon();
    ShowWindow(SW_HIDE);
    DestroyWindow();
    ::PostQuitMessage(0);
}

void CDLDlg::DeleteTrayIcon() {
    if (!trayIconAdded_) return;
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = m_hWnd;
    icon.uID = kTrayIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &icon);
    trayIconAdded_ = false;
}
