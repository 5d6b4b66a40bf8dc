#include "workflow/TrayIcon.h"

#include <shellapi.h>

#include "base/UniqueHandle.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/WorkflowTexts.h"

namespace {

NOTIFYICONDATAW IconData(HWND window) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = kTrayIconId;
    return icon;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace

bool CTrayIcon::Show(HWND window, const std::wstring& tip) {
    window_ = window;
    tip_ = tip;
    wanted_ = true;
    TaskbarCreatedMessage();  // registered before the shell can announce itself
    return added_ || Add();
}

bool CTrayIcon::Add() {
    NOTIFYICONDATAW icon = IconData(window_);
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kTrayMessage;
    icon.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIconId));
    lstrcpynW(icon.szTip, tip_.c_str(), ARRAYSIZE(icon.szTip));
    // An icon of ours the shell still holds (a failed delete) is taken over.
    added_ = ::Shell_NotifyIconW(NIM_ADD, &icon) != FALSE ||
             ::Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
    return added_;
}

void CTrayIcon::Remove() {
    wanted_ = false;
    if (!added_) return;
    NOTIFYICONDATAW icon = IconData(window_);
    ::Shell_NotifyIconW(NIM_DELETE, &icon);
    added_ = false;
}

bool CTrayIcon::OnTaskbarMessage(UINT message) {
    if (message != TaskbarCreatedMessage() || message == 0) return false;
    // The new taskbar holds none of the old icons.
    added_ = false;
    if (wanted_) Add();
    return true;
}

UINT CTrayIcon::TrackMenu(HWND window) const {
    CUniqueHandle<NullableHandleTraits<HMENU, &::DestroyMenu>> menu(::CreatePopupMenu());
    if (!menu) return 0;
    ::AppendMenuW(menu.Get(), MF_STRING, kShowCommand, kTrayOpenText);
    ::AppendMenuW(menu.Get(), MF_STRING, kQuitCommand, kTrayQuitText);
    POINT at = {};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(window);
    return ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window,
                            nullptr);
}
