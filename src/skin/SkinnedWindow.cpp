#include "skin/SkinnedWindow.h"

#include "base/GdiHandles.h"

void CSkinnedWindow::SetProgramIcon(HWND window, UINT iconId) {
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void CSkinnedWindow::ApplyShape(HWND window, const POINT* points, int count) {
    CRegionHandle region(::CreatePolygonRgn(points, count, ALTERNATE));
    if (region && ::SetWindowRgn(window, region.Get(), FALSE)) region.Release();
}

LRESULT CSkinnedWindow::PressOrDrag(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A button or link that takes the press keeps it: a move started under it would take
    // the release into the move's own loop.
    LRESULT result = 0;
    if (!ProcessMessage(window, msg, wParam, lParam, result, 0)) {
        ::PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    }
    return result;
}

bool CSkinnedWindow::IsEnterOrEscape(const MSG* msg) {
    if (msg->message < WM_KEYDOWN || msg->message > WM_SYSDEADCHAR) return false;
    return msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE;
}
