#include "skin/SomHtmlView.h"

#include "shell/LinkOpener.h"

CSomHtmlView::~CSomHtmlView() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    Disconnect();
}

LRESULT CSomHtmlView::OnCreateView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    LRESULT result = OnCreate(msg, wParam, lParam, handled);
    if (IWebBrowser2* browser = GetBrowser()) {
        sink_ = CWebBrowserEventSink::New(this);
        if (FAILED(sink_->Connect(browser))) Disconnect();
    }
    return result;
}

LRESULT CSomHtmlView::OnDestroyView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    // Stop listening before the control is closed, so no event reaches a dying view.
    Disconnect();
    return OnDestroy(msg, wParam, lParam, handled);
}

void CSomHtmlView::Disconnect() {
    if (!sink_) return;
    sink_->Disconnect();
    sink_->Release();
    sink_ = nullptr;
}

void CSomHtmlView::OnNewWindow(const wchar_t* url) { OpenUrl(url); }

bool CSomHtmlView::AllowNavigation(const wchar_t* url) { return IsPageNavigationAllowed(url); }

void CSomHtmlView::OnNavigateError() {
    HWND parent = ::GetParent(m_hWnd);
    if (parent && ::IsWindow(parent)) ::PostMessageW(parent, kShowDefaultPageMessage, 0, 0);
}
