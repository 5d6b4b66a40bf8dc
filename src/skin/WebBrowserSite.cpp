#include "skin/WebBrowserSite.h"

#include <mshtmdid.h>
#include <olectl.h>

#include <utility>

namespace {

// Downloads images and media, runs no ActiveX download prompts, raises no dialogs.
constexpr LONG kDownloadControl = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_SILENT;

}  // namespace

CWebBrowserSite* CWebBrowserSite::New(HWND host) { return new CWebBrowserSite(host); }

CWebBrowserSite::~CWebBrowserSite() { DropControl(); }

HRESULT CWebBrowserSite::CreateControl() {
    CComPtr<IOleObject> object;
    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    object.ReceiveVoid());
    if (FAILED(hr)) return hr;
    hr = object->SetClientSite(static_cast<IOleClientSite*>(this));
    if (FAILED(hr)) return hr;
    object_ = object;
    RECT client = {};
    ::GetClientRect(host_, &client);
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                        host_, &client);
    if (SUCCEEDED(hr)) hr = object.As(inPlace_);
    if (SUCCEEDED(hr)) hr = object.As(browser_);
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    return S_OK;
}

void CWebBrowserSite::Resize(const RECT& rect) {
    if (inPlace_) inPlace_->SetObjectRects(&rect, &rect);
}

void CWebBrowserSite::Close() {
    // Keep this object alive while the control lets go of its references to it.
    AddRef();
    DropControl();
    Release();
}

void CWebBrowserSite::DropControl() {
    browser_.Reset();
    if (inPlace_) {
        inPlace_->InPlaceDeactivate();
        inPlace_.Reset();
    }
    if (object_) {
        CComPtr<IOleObject> object = std::move(object_);
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
    }
    external_.Reset();
}

STDMETHODIMP CWebBrowserSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
        *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        *out = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IDocHostUIHandler) {
        *out = static_cast<IDocHostUIHandler*>(this);
    } else if (iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CWebBrowserSite::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CWebBrowserSite::Release() {
    ULONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CWebBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CWebBrowserSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = host_;
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
    if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    ::GetClientRect(host_, position);
    *clip = *position;
    frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = host_;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::OnPosRectChange(LPCRECT position) {
    if (!position) return E_POINTER;
    if (inPlace_) inPlace_->SetObjectRects(position, position);
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    // S_OK: the host has "shown" the menu itself, so the control shows none.
    return allowContextMenu_ ? S_FALSE : S_OK;
}

STDMETHODIMP CWebBrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->cbSize = sizeof(DOCHOSTUIINFO);
    info->dwFlags = docHostFlags_;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key) *key = nullptr;
    return S_FALSE;
}

STDMETHODIMP CWebBrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target) *target = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserSite::GetExternal(IDispatch** external) {
    if (!external) return E_POINTER;
    *external = external_.Get();
    if (!*external) return S_FALSE;
    (*external)->AddRef();
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP CWebBrowserSite::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP CWebBrowserSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CWebBrowserSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(result);
    switch (id) {
        case DISPID_AMBIENT_DLCONTROL:
            result->vt = VT_I4;
            result->lVal = kDownloadControl;
            return S_OK;
        case DISPID_AMBIENT_USERMODE:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}
