#pragma once
// The embedded page view: a CSomHtmlWnd that listens to the browser control's events.
// A page that asks for a new window gets it in the user's default browser (through the link
// rules: file paths are refused) and the view stays on its page; the page cannot navigate
// itself to a file path or a local-file scheme either; a navigation that fails posts
// kShowDefaultPageMessage to the parent, which then shows its default picture.

#include "skin/SomHtmlWnd.h"
#include "skin/WebBrowserEventSink.h"

class CSomHtmlView : public CSomHtmlWnd, private IWebBrowserEventHandler {
public:
    static constexpr UINT kShowDefaultPageMessage = 3232;

    CSomHtmlView() = default;
    ~CSomHtmlView() override;

    BOOL IsListening() const { return sink_ && sink_->IsConnected(); }

    BEGIN_MSG_MAP(CSomHtmlView)
    MESSAGE_HANDLER(WM_CREATE, OnCreateView)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroyView)
    CHAIN_MSG_MAP(CSomHtmlWnd)
    END_MSG_MAP()

protected:
    void OnNavigateFailed() override { OnNavigateError(); }

private:
    LRESULT OnCreateView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroyView(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    void Disconnect();

    // IWebBrowserEventHandler
    void OnNewWindow(const wchar_t* url) override;
    void OnNavigateError() override;
    bool AllowNavigation(const wchar_t* url) override;

    CWebBrowserEventSink* sink_ = nullptr;  // owned reference
};
