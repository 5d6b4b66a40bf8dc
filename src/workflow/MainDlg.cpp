#include "workflow/MainDlg.h"

#include "base/GdiHandles.h"

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
    // Enter and Escape do nothing in the program's windows.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        return TRUE;
    }
    return FALSE;
}

LRESULT CMainDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    CPaintDC paint(m_hWnd);
    HDC dc = paint.Get();
    RECT client;
    GetClientRect(&client);
    CBrushHandle background(::CreateSolidBrush(RGB(0x1e, 0x22, 0x2b)));
    ::FillRect(dc, &client, background.Get());
    std::wstring title = GetWindowText();
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0xff, 0xff, 0xff));
    ::DrawTextW(dc, title.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return 0;
}

LRESULT CMainDlg::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
    // The popup has no caption: let any point drag it.
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    DestroyWindow();
    return 0;
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    ::PostQuitMessage(0);
    handled = FALSE;
    return 0;
}
