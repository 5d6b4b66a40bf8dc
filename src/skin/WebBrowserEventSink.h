#pragma once
// Receives the web-browser control's DWebBrowserEvents2 through its connection point and
// hands the events the program acts on to a handler: a page asking for a new window, a
// navigation about to start, a navigation that failed and the page's document complete.

#include <exdisp.h>
#include <ocidl.h>
#include <windows.h>

#include "base/ComPtr.h"

class IWebBrowserEventHandler {
public:
    // The page wants `url` in a new window; the control's own window is always cancelled.
    virtual void OnNewWindow(const wchar_t* url) = 0;
    virtual void OnNavigateError() = 0;
    // A navigation of the page (or one of its frames) is about to start; false cancels it.
    virtual bool AllowNavigation(const wchar_t* url) { return true; }
    // The top-level document is complete (not called for the page's frames).
    virtual void OnDocumentComplete() {}

protected:
    ~IWebBrowserEventHandler() = default;
};

class CWebBrowserEventSink final : public IDispatch {
public:
    // The handler must outlive the connection (Disconnect clears it).
    static CWebBrowserEventSink* New(IWebBrowserEventHandler* handler);

    // Advises on the control's DWebBrowserEvents2 connection point.
    HRESULT Connect(IUnknown* control);
    // Unadvises and stops calling the handler, even if the control keeps a reference.
    void Disconnect();
    BOOL IsConnected() const { return cookie_ != 0; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;

private:
    explicit CWebBrowserEventSink(IWebBrowserEventHandler* handler) : handler_(handler) {}
    ~CWebBrowserEventSink() = default;
    CWebBrowserEventSink(const CWebBrowserEventSink&) = delete;
    CWebBrowserEventSink& operator=(const CWebBrowserEventSink&) = delete;

    void OnNewWindow3(DISPPARAMS* params);
    void OnBeforeNavigate2(DISPPARAMS* params);
    void OnDocumentComplete(DISPPARAMS* params);

    LONG refs_ = 1;
    IWebBrowserEventHandler* handler_;  // not owned
    CComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    IUnknown* controlIdentity_ = nullptr;  // compared only, never called: no reference
};
