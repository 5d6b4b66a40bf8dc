// The OLE container of the embedded page view: what the site answers the web-browser
// control, and what the event sink does with the control's events.
#include <gtest/gtest.h>
#include <windows.h>
#include <exdispid.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

#include "skin/WebBrowserEventSink.h"
#include "skin/WebBrowserSite.h"

namespace {

constexpr DWORD kDownloadWindowHostFlags = 0x24009F;
class RecordingHandler : public IWebBrowserEventHandler {
public:
    std::vector<std::wstring> newWindows;
    int navigateErrors = 0;
    void OnNewWindow(const wchar_t* url) override { newWindows.push_back(url); }
    void OnNavigateError() override { ++navigateErrors; }
    bool AllowNavigation(const wchar_t* url) override {
        navigations.push_back(url);
        return std::wstring(url).rfind(L"http", 0) == 0;
    }
    std::vector<std::wstring> navigations;
};

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel) as the
// control sends it: the URL as a reference to a variant holding a string.
VARIANT_BOOL FireBeforeNavigate2(IDispatch* sink, const wchar_t* url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT urlValue;
    ::VariantInit(&urlValue);
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = ::SysAllocString(url);
    VARIANT args[7];
    for (VARIANT& v : args) ::VariantInit(&v);
    args[5].vt = VT_BYREF | VT_VARIANT;  // URL (second parameter)
    args[5].pvarVal = &urlValue;
    args[0].vt = VT_BYREF | VT_BOOL;  // Cancel (last parameter)
    args[0].pboolVal = &cancel;
    DISPPARAMS params = {args, nullptr, 7, 0};
    sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    ::VariantClear(&urlValue);
    return cancel;
}

// Calls the sink the way the control does: NewWindow3(ppDisp, Cancel, dwFlags, context, url).
VARIANT_BOOL FireNewWindow3(IDispatch* sink, const wchar_t* url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    BSTR urlText = ::SysAllocString(url);
    BSTR context = ::SysAllocString(L"http://page.example/");
    VARIANT args[5];
    for (VARIANT& v : args) ::VariantInit(&v);
    args[4].vt = VT_BYREF | VT_DISPATCH;
    args[4].ppdispVal = &newWindow;
    args[3].vt = VT_BYREF | VT_BOOL;
    args[3].pboolVal = &cancel;
    args[2].vt = VT_I4;
    args[2].lVal = 0;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = context;
    args[0].vt = VT_BSTR;
    args[0].bstrVal = urlText;
    DISPPARAMS params = {args, nullptr, 5, 0};
    sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    ::SysFreeString(urlText);
    ::SysFreeString(context);
    return cancel;
}

void FireNavigateError(IDispatch* sink) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    sink->Invoke(DISPID_NAVIGATEERROR, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                 nullptr);
}

}  // namespace

TEST(WebBrowserSite, RefusesTheContextMenuAndGivesTheHostFlags) {
    CWebBrowserSite* site = CWebBrowserSite::New(nullptr);
    site->SetDocHostFlags(kDownloadWindowHostFlags);
    POINT at = {1, 1};
    EXPECT_EQ(site->ShowContextMenu(0, &at, nullptr, nullptr), S_OK);  // handled: no menu
    site->SetAllowContextMenu(TRUE);
    EXPECT_EQ(site->ShowContextMenu(0, &at, nullptr, nullptr), S_FALSE);

    DOCHOSTUIINFO info = {};
    ASSERT_EQ(site->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, kDownloadWindowHostFlags);
    EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));

    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(site->GetExternal(&external), S_FALSE);
    EXPECT_EQ(external, nullptr);
    EXPECT_EQ(site->Release(), 0u);
}

TEST(WebBrowserSite, AnswersEachInterfaceWithOneIdentity) {
    CWebBrowserSite* site = CWebBrowserSite::New(nullptr);
    IUnknown* unknownA = nullptr;
    IUnknown* unknownB = nullptr;
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)),
              S_OK);
    ASSERT_EQ(site->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownA)), S_OK);
    ASSERT_EQ(handler->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownB)), S_OK);
    EXPECT_EQ(unknownA, unknownB);
    IOleInPlaceFrame* frame = nullptr;
    EXPECT_EQ(handler->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(&frame)),
              S_OK);
    void* none = nullptr;
    EXPECT_EQ(site->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
    frame->Release();
    unknownB->Release();
    unknownA->Release();
    handler->Release();
    EXPECT_EQ(site->Release(), 0u);
}

TEST(WebBrowserEventSink, NewWindowIsCancelledAndHandedOver) {
    RecordingHandler handler;
    CWebBrowserEventSink* sink = CWebBrowserEventSink::New(&handler);
    EXPECT_EQ(FireNewWindow3(sink, L"http://www.vexayoral.com/gift"), VARIANT_TRUE);
    ASSERT_EQ(handler.newWindows.size(), 1u);
    EXPECT_EQ(handler.newWindows[0], L"http://www.vexayoral.com/gift");
    FireNavigateError(sink);
    EXPECT_EQ(handler.navigateErrors, 1);

    // Other events change nothing; after Disconnect the handler hears nothing more, but the
    // control's own window is still cancelled.
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(sink->Invoke(DISPID_COMMANDSTATECHANGE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                           nullptr, nullptr),
              S_OK);
    sink->Disconnect();
    EXPECT_EQ(FireNewWindow3(sink, L"http://late.example/"), VARIANT_TRUE);
    FireNavigateError(sink);
    EXPECT_EQ(handler.newWindows.size(), 1u);
    EXPECT_EQ(handler.navigateErrors, 1);
    EXPECT_EQ(sink->Release(), 0u);
}

TEST(WebBrowserEventSink, NavigationsTheHandlerRefusesAreCancelled) {
    RecordingHandler handler;
    CWebBrowserEventSink* sink = CWebBrowserEventSink::New(&handler);
    EXPECT_EQ(FireBeforeNavigate2(sink, L"http://www.vexayoral.com/"), VARIANT_FALSE);
    EXPECT_EQ(FireBeforeNavigate2(sink, L"file://attacker/share/run.exe"), VARIANT_TRUE);
    ASSERT_EQ(handler.navigations.size(), 2u);
    EXPECT_EQ(handler.navigations[1], L"file://attacker/share/run.exe");
    sink->Disconnect();
    EXPECT_EQ(FireBeforeNavigate2(sink, L"file://late/x.exe"), VARIANT_FALSE);
    sink->Release();
}

TEST(WebBrowserEventSink, MalformedNewWindowArgumentsAreIgnored) {
    RecordingHandler handler;
    CWebBrowserEventSink* sink = CWebBrowserEventSink::New(&handler);
    VARIANT one;
    ::VariantInit(&one);
    DISPPARAMS wrongCount = {&one, nullptr, 1, 0};
    EXPECT_EQ(sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, &wrongCount, nullptr,
                           nullptr, nullptr),
              S_OK);
    EXPECT_EQ(sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                           nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(handler.newWindows.empty());
    sink->Release();
}
