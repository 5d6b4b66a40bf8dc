#pragma once
// A child window that hosts the system's web-browser control through the program's own
// small OLE container (CWebBrowserSite), driven as a window-backed element.
//
// Creation makes the control with an empty page ("about:blank"), sets it silent (script
// errors raise no dialogs), disallows the context menu unless asked and hands the control
// the document host flags. When the control cannot be created (no browser engine), Create
// fails and returns null, so the caller shows its default picture instead.
//
// The empty page is the control's own state before any navigation, not a navigation: the
// page the caller wants is then the control's first navigation, and nothing else is still
// loading when it starts (a navigation started over a loading one may lose the first one's
// events, its error among them).

#include <exdisp.h>
#include <windows.h>

#include <string>

#include "shell/Window.h"
#include "skin/ISomUIElement.h"

class CWebBrowserSite;

class CSomHtmlWnd : public CWindowImplBase, public ISomUIElement {
public:
    static constexpr DWORD kDefaultStyle =
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

    CSomHtmlWnd() = default;
    ~CSomHtmlWnd() override;

    // `windowText` is the first page: "about:blank" (or nothing) leaves the control empty
    // until Navigate, any other address is loaded once the window is ready. Returns the
    // window, or null when the window or the control could not be made.
    HWND Create(IDispatch* external, const wchar_t* windowText, HWND parent, const RECT& rect,
                DWORD style = kDefaultStyle, DWORD exStyle = 0, UINT childId = 0,
                void* createParam = nullptr, DWORD docHostFlags = 0);
    // Navigates the control; a navigation that cannot even start counts as a failed one
    // (see OnNavigateFailed).
    virtual void Navigate(const wchar_t* url);

    void SetAllowContextMenu(BOOL allow) { allowContextMenu_ = allow; }
    // The control's automation interface, or null (not AddRef'ed).
    IWebBrowser2* GetBrowser() const;
    CWebBrowserSite* GetSite() const { return site_; }

    // ISomUIElement
    BOOL GetClientRect(RECT* rect) override { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetRect(RECT* rect) override;
    BOOL SetRect(int x, int y, int cx, int cy) override;
    BOOL SetSize(int cx, int cy) override;
    BOOL SetPos(int x, int y) override;
    BOOL Destroy() override { return ::DestroyWindow(m_hWnd); }
    BOOL Show(BOOL show) override { return ::ShowWindow(m_hWnd, show ? SW_SHOWNORMAL : SW_HIDE); }

    DECLARE_WND_CLASS_EX(L"VexaWebHost", 0, COLOR_WINDOW)

    BEGIN_MSG_MAP(CSomHtmlWnd)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    END_MSG_MAP()

protected:
    // Called when a navigation could not start; the view reports it like a failed page.
    virtual void OnNavigateFailed() {}
    // The control exists and nothing has been loaded into it yet.
    virtual void OnControlReady() {}
    // Asks the control to load `url`; the result of the call (not of the page).
    HRESULT StartNavigation(const wchar_t* url);

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

private:
    bool CreateControl();
    void FocusDocument();
    void ReleaseSite();

    BOOL allowContextMenu_ = FALSE;
    DWORD docHostFlags_ = 0;
    IDispatch* pendingExternal_ = nullptr;  // only during Create
    CWebBrowserSite* site_ = nullptr;       // owned reference
    bool oleInitialized_ = false;           // this object's OleInitialize, undone with it
};
