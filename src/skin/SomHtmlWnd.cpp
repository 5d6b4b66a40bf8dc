#include "skin/SomHtmlWnd.h"

#include <mshtml.h>

#include <new>

#include "base/ComPtr.h"
#include "skin/WebBrowserSite.h"

namespace {

// A BSTR owned for one call.
class CBstr {
public:
    explicit CBstr(const wchar_t* text) : value_(::SysAllocString(text ? text : L"")) {}
    ~CBstr() { ::SysFreeString(value_); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return value_; }

private:
    BSTR value_;
};

}  // namespace

CSomHtmlWnd::~CSomHtmlWnd() {
    // The window (if still alive) is destroyed by the base; the site must go with it.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    ReleaseSite();
    if (oleInitialized_) ::OleUninitialize();
}

HWND CSomHtmlWnd::Create(IDispatch* external, const wchar_t* windowText, HWND parent,
                         const RECT& rect, DWORD style, DWORD exStyle, UINT childId,
                         void* createParam, DWORD docHostFlags) {
    try {
        // In-place activation needs OLE (drag and drop, clipboard) on this thread, not only
        // COM; the calls are counted, so this balances with the program's own.
        if (!oleInitialized_) oleInitialized_ = SUCCEEDED(::OleInitialize(nullptr));
        docHostFlags_ = docHostFlags;
        pendingExternal_ = external;
        HWND hwnd = CWindowImplBase::Create(parent, rect, windowText, style, exStyle,
                                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(childId)),
                                            createParam);
        pendingExternal_ = nullptr;
        if (!hwnd) return nullptr;
        if (!GetBrowser()) {
            // No browser engine here: no half-made view, the caller shows its picture.
            ::DestroyWindow(hwnd);
            return nullptr;
        }
        return hwnd;
    } catch (...) {
        pendingExternal_ = nullptr;
        ::OutputDebugStringW(L"QuilletBrowser IE Create exception!!");
        if (m_hWnd) ::DestroyWindow(m_hWnd);
        return nullptr;
    }
}

void CSomHtmlWnd::Navigate(const wchar_t* url) {
    if (FAILED(StartNavigation(url))) OnNavigateFailed();
}

HRESULT CSomHtmlWnd::StartNavigation(const wchar_t* url) {
    try {
        IWebBrowser2* browser = GetBrowser();
        if (!browser) return E_FAIL;
        CBstr address(url);
        VARIANT empty;
        ::VariantInit(&empty);
        return browser->Navigate(address.Get(), &empty, &empty, &empty, &empty);
    } catch (...) {
        ::OutputDebugStringW(L"QuilletBrowser IE Navigate exception!!");
        return S_FALSE;  // written down; nothing else happens
    }
}

IWebBrowser2* CSomHtmlWnd::GetBrowser() const { return site_ ? site_->Browser() : nullptr; }

BOOL CSomHtmlWnd::GetRect(RECT* rect) {
    HWND parent = ::GetParent(m_hWnd);
    if (!parent || !::IsWindow(parent) || !::GetWindowRect(m_hWnd, rect)) return FALSE;
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(rect), 2);
    return TRUE;
}

BOOL CSomHtmlWnd::SetRect(int x, int y, int cx, int cy) {
    return ::SetWindowPos(m_hWnd, nullptr, x, y, cx, cy, SWP_NOZORDER);
}

BOOL CSomHtmlWnd::SetSize(int cx, int cy) {
    return ::SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE);
}

BOOL CSomHtmlWnd::SetPos(int x, int y) {
    return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

LRESULT CSomHtmlWnd::OnCreate(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    std::wstring firstPage = create && create->lpszName ? create->lpszName : L"";
    // The window lives on even without a control; Create then destroys it.
    if (!CreateControl()) return 0;
    OnControlReady();
    if (!firstPage.empty() && ::lstrcmpiW(firstPage.c_str(), L"about:blank") != 0) {
        Navigate(firstPage.c_str());
    }
    return 0;
}

bool CSomHtmlWnd::CreateControl() {
    CWebBrowserSite* site = CWebBrowserSite::New(m_hWnd);
    site->SetAllowContextMenu(allowContextMenu_);
    if (docHostFlags_) site->SetDocHostFlags(docHostFlags_);
    if (pendingExternal_) site->SetExternalDispatch(pendingExternal_);
    if (FAILED(site->CreateControl())) {
        site->Close();
        site->Release();
        return false;
    }
    site_ = site;
    site_->Browser()->put_Silent(VARIANT_TRUE);  // before any page: no script error dialogs
    return true;
}

LRESULT CSomHtmlWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    ReleaseSite();
    handled = FALSE;  // default handling still runs
    return 0;
}

void CSomHtmlWnd::ReleaseSite() {
    if (!site_) return;
    CWebBrowserSite* site = site_;
    site_ = nullptr;
    site->SetExternalDispatch(nullptr);
    site->Close();
    site->Release();
}

LRESULT CSomHtmlWnd::OnSize(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    if (site_) {
        RECT rect = {0, 0, LOWORD(lParam), HIWORD(lParam)};
        site_->Resize(rect);
    }
    handled = FALSE;
    return 0;
}

LRESULT CSomHtmlWnd::OnSetFocus(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    LRESULT result = DefWindowProc(msg, wParam, lParam);
    FocusDocument();
    return result;
}

void CSomHtmlWnd::FocusDocument() {
    IWebBrowser2* browser = GetBrowser();
    if (!browser) return;
    CComPtr<IDispatch> documentDispatch;
    if (FAILED(browser->get_Document(documentDispatch.Receive())) || !documentDispatch) return;
    CComPtr<IHTMLDocument2> document;
    if (FAILED(documentDispatch.As(document))) return;
    CComPtr<IHTMLWindow2> window;
    if (FAILED(document->get_parentWindow(window.Receive())) || !window) return;
    window->focus();
}
