#pragma once
// The embedded page view: a CSomHtmlWnd that listens to the browser control's events.
// A page that asks for a new window gets it in the user's default browser (through the link
// rules: file paths are refused) and the view stays on its page; the page cannot navigate
// itself to a file path or a local-file scheme either; a navigation that fails posts
// kShowDefaultPageMessage to the parent, which then shows its default picture.
//
// The event sink is connected before the first page is asked for, and a page asked for while
// another still loads waits for that one to end (CPageLoad). A page that neither loads nor
// fails within the load time limit counts as failed too, so the page area is never left
// blank by a server that accepts the connection and then says nothing.

#include <string>

#include "skin/PageLoad.h"
#include "skin/SomHtmlWnd.h"
#include "skin/WebBrowserEventSink.h"

class CSomHtmlView : public CSomHtmlWnd, private IWebBrowserEventHandler {
public:
    static constexpr UINT kShowDefaultPageMessage = 3232;
    static constexpr UINT kShippedLoadTimeLimitMs = CPageLoad::kShippedTimeLimitMs;

    CSomHtmlView() = default;
    ~CSomHtmlView() override;

    BOOL IsListening() const { return sink_ && sink_->IsConnected(); }
    PageLoadState LoadState() const { return load_.State(); }
    // For tests and callers with other needs; takes effect with the next navigation.
    void SetLoadTimeLimit(UINT milliseconds) { loadTimeLimitMs_ = milliseconds; }

    // Starts `url` now, or once the page that still loads has ended.
    void Navigate(const wchar_t* url) override;

    BEGIN_MSG_MAP(CSomHtmlView)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroyView)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(kStartWaitingPageMessage, OnStartWaitingPage)
    CHAIN_MSG_MAP(CSomHtmlWnd)
    END_MSG_MAP()

protected:
    void OnNavigateFailed() override { OnNavigateError(); }
    void OnControlReady() override;
    // Every navigation the control is about to make, ours or a link's inside the page.
    bool AllowNavigation(const wchar_t* url) override;

private:
    static constexpr UINT kStartWaitingPageMessage = WM_APP + 0x3A1;
    static constexpr UINT_PTR kLoadTimer = 0x7E1;

    LRESULT OnDestroyView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnTimer(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnStartWaitingPage(UINT, WPARAM, LPARAM, BOOL&);
    void Disconnect();
    // Carries out what the page's course asks for after an event.
    void Apply(const PageLoadStep& step);
    void Begin(const std::wstring& url);

    // IWebBrowserEventHandler
    void OnNewWindow(const wchar_t* url) override;
    void OnNavigateError() override;
    void OnDocumentComplete() override;

    CWebBrowserEventSink* sink_ = nullptr;  // owned reference
    CPageLoad load_;
    std::wstring next_;  // started by kStartWaitingPageMessage
    UINT loadTimeLimitMs_ = kShippedLoadTimeLimitMs;
    bool stopping_ = false;  // events of a load being stopped belong to no page of ours
};
