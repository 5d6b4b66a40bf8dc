#include "skin/SomHtmlView.h"

#include <utility>

#include "shell/LinkOpener.h"

CSomHtmlView::~CSomHtmlView() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    Disconnect();
}

void CSomHtmlView::OnControlReady() {
    // Listening before anything is loaded: no event of the first page can be missed.
    IWebBrowser2* browser = GetBrowser();
    if (!browser) return;
    sink_ = CWebBrowserEventSink::New(this);
    if (FAILED(sink_->Connect(browser))) Disconnect();
}

void CSomHtmlView::Navigate(const wchar_t* url) { Apply(load_.Request(url ? url : L"")); }

void CSomHtmlView::Apply(const PageLoadStep& step) {
    if (!IsWindow()) return;
    if (!step.navigate.empty()) {
        // Started from the message loop, never from inside one of the control's own event
        // calls; each page gets the whole time limit.
        next_ = step.navigate;
        ::SetTimer(m_hWnd, kLoadTimer, loadTimeLimitMs_, nullptr);
        ::PostMessageW(m_hWnd, kStartWaitingPageMessage, 0, 0);
    } else if (!load_.IsLoading()) {
        ::KillTimer(m_hWnd, kLoadTimer);
    }
    if (step.showDefault) {
        HWND parent = ::GetParent(m_hWnd);
        if (parent && ::IsWindow(parent)) ::PostMessageW(parent, kShowDefaultPageMessage, 0, 0);
    }
}

LRESULT CSomHtmlView::OnStartWaitingPage(UINT, WPARAM, LPARAM, BOOL&) {
    std::wstring url = std::exchange(next_, std::wstring());
    if (!url.empty() && FAILED(StartNavigation(url.c_str()))) OnNavigateError();
    return 0;
}

LRESULT CSomHtmlView::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kLoadTimer) {
        handled = FALSE;
        return 0;
    }
    ::KillTimer(m_hWnd, kLoadTimer);
    if (!load_.IsLoading()) return 0;
    // The page is given up: stop the control loading it, and take nothing it reports while
    // stopping for news of the page that may come next.
    stopping_ = true;
    if (IWebBrowser2* browser = GetBrowser()) browser->Stop();
    stopping_ = false;
    Apply(load_.OnTimeLimit());
    return 0;
}

LRESULT CSomHtmlView::OnDestroyView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    ::KillTimer(m_hWnd, kLoadTimer);
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

bool CSomHtmlView::AllowNavigation(const wchar_t* url) {
    if (IsPageNavigationAllowed(url)) return true;
    // A refused page would leave a blank area: the window shows its default page instead.
    OnNavigateError();
    return false;
}

void CSomHtmlView::OnNavigateError() {
    if (!stopping_) Apply(load_.OnNavigateError());
}

void CSomHtmlView::OnDocumentComplete() {
    if (!stopping_) Apply(load_.OnDocumentComplete());
}
