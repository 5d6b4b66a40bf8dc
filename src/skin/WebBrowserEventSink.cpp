#include "skin/WebBrowserEventSink.h"

#include <exdispid.h>

namespace {

// Arguments arrive last to first: rgvarg[count - 1] is the first parameter.
VARIANT* Argument(DISPPARAMS* params, UINT index, UINT expectedCount) {
    if (!params || params->cArgs != expectedCount || !params->rgvarg) return nullptr;
    return &params->rgvarg[expectedCount - 1 - index];
}

const wchar_t* StringArgument(VARIANT* value) {
    if (!value) return nullptr;
    if (value->vt == VT_BSTR) return value->bstrVal;
    if (value->vt == (VT_BSTR | VT_BYREF) && value->pbstrVal) return *value->pbstrVal;
    if (value->vt == (VT_VARIANT | VT_BYREF) && value->pvarVal) {
        return StringArgument(value->pvarVal);
    }
    return nullptr;
}

void SetCancel(VARIANT* cancel) {
    if (cancel && cancel->vt == (VT_BOOL | VT_BYREF) && cancel->pboolVal) {
        *cancel->pboolVal = VARIANT_TRUE;
    }
}

// The object's identity (its IUnknown), for comparison only; the reference is let go.
IUnknown* Identity(IUnknown* object) {
    IUnknown* identity = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) {
        return nullptr;
    }
    identity->Release();
    return identity;
}

}  // namespace

CWebBrowserEventSink* CWebBrowserEventSink::New(IWebBrowserEventHandler* handler) {
    return new CWebBrowserEventSink(handler);
}

HRESULT CWebBrowserEventSink::Connect(IUnknown* control) {
    if (!control || cookie_) return E_UNEXPECTED;
    CComPtr<IConnectionPointContainer> container;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    if (FAILED(hr)) return hr;
    CComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr)) return hr;
    point_ = point;
    cookie_ = cookie;
    controlIdentity_ = Identity(control);
    return S_OK;
}

void CWebBrowserEventSink::Disconnect() {
    handler_ = nullptr;
    if (point_ && cookie_) point_->Unadvise(cookie_);
    cookie_ = 0;
    point_.Reset();
    controlIdentity_ = nullptr;
}

STDMETHODIMP CWebBrowserEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CWebBrowserEventSink::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CWebBrowserEventSink::Release() {
    ULONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CWebBrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CWebBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                          VARIANT*, EXCEPINFO*, UINT*) {
    switch (id) {
        case DISPID_NEWWINDOW3:
            OnNewWindow3(params);
            break;
        case DISPID_BEFORENAVIGATE2:
            OnBeforeNavigate2(params);
            break;
        case DISPID_DOCUMENTCOMPLETE:
            OnDocumentComplete(params);
            break;
        case DISPID_NAVIGATEERROR:
            if (handler_) handler_->OnNavigateError();
            break;
        default:  // CommandStateChange and the rest: nothing to do
            break;
    }
    return S_OK;
}

// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
void CWebBrowserEventSink::OnNewWindow3(DISPPARAMS* params) {
    SetCancel(Argument(params, 1, 5));
    const wchar_t* url = StringArgument(Argument(params, 4, 5));
    if (handler_ && url) handler_->OnNewWindow(url);
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
void CWebBrowserEventSink::OnBeforeNavigate2(DISPPARAMS* params) {
    if (!handler_) return;
    const wchar_t* url = StringArgument(Argument(params, 1, 7));
    if (!handler_->AllowNavigation(url ? url : L"")) SetCancel(Argument(params, 6, 7));
}

// DocumentComplete(pDisp, URL): pDisp is the control itself for the page, a frame's
// browser object for each of its frames (those complete first).
void CWebBrowserEventSink::OnDocumentComplete(DISPPARAMS* params) {
    if (!handler_ || !controlIdentity_) return;
    VARIANT* source = Argument(params, 0, 2);
    if (!source) return;
    IUnknown* object = nullptr;
    if (source->vt == VT_DISPATCH) object = source->pdispVal;
    if (source->vt == (VT_DISPATCH | VT_BYREF) && source->ppdispVal) object = *source->ppdispVal;
    if (object && Identity(object) == controlIdentity_) handler_->OnDocumentComplete();
}
