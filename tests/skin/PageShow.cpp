// Shows the download window's page area as the program lays it out: the embedded page view
// over the window background, replaced by the default picture when the page fails. Prints
// "window <x> <y>" when on screen, "view <0|1>" (whether the browser control was made) and
// "default-page" once the picture has taken the view's place. Ends after a few seconds.
//
//   page_show.exe <url>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/GdiHandles.h"
#include "shell/Window.h"
#include "skin/DefaultWebWnd.h"
#include "skin/SomBitmap.h"
#include "skin/SomHtmlView.h"

namespace {

constexpr RECT kPageArea = {20, 56, 660, 301};
constexpr DWORD kHostFlags = 0x24009F;

class CPageHost : public CWindowImpl<CPageHost> {
public:
    std::wstring url;

    BEGIN_MSG_MAP(CPageHost)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnErase)
        MESSAGE_HANDLER(CSomHtmlView::kShowDefaultPageMessage, OnShowDefaultPage)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
        const POINT shape[] = {{7, 0},     {286, 0},   {295, 10}, {671, 10}, {679, 19},
                               {679, 411}, {671, 419}, {8, 419},  {0, 411},  {0, 0}};
        CRegionHandle region(::CreatePolygonRgn(shape, 10, ALTERNATE));
        if (region && SetWindowRgn(region.Get(), FALSE)) region.Release();
        HWND made = view_.Create(nullptr, L"about:blank", m_hWnd, kPageArea,
                                 CSomHtmlWnd::kDefaultStyle, 0, 0, nullptr, kHostFlags);
        std::printf("view %d\n", made ? 1 : 0);
        std::fflush(stdout);
        if (made) {
            view_.Navigate(url.c_str());
        } else {
            ShowDefaultPage();
        }
        SetTimer(1, 4000);
        return 0;
    }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(m_hWnd, &paint);
        background_.DrawFrame(dc, 0, 0, 0);
        ::EndPaint(m_hWnd, &paint);
        return 0;
    }
    LRESULT OnErase(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnShowDefaultPage(UINT, WPARAM, LPARAM, BOOL&) {
        ShowDefaultPage();
        return 0;
    }
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&) {
        KillTimer(1);
        ::PostQuitMessage(0);
        return 0;
    }
    void ShowDefaultPage() {
        if (view_.IsWindow()) view_.Show(FALSE);
        if (!page_.IsWindow()) page_.Create(m_hWnd, kPageArea, nullptr, WS_CHILD | WS_VISIBLE);
        page_.ShowWindow(SW_SHOW);
        std::printf("default-page\n");
        std::fflush(stdout);
    }

    CSomBitmap background_{105, 1};
    CSomHtmlView view_;
    CDefaultWebWnd page_;
};

}  // namespace

int main(int argc, char** argv) {
    ::OleInitialize(nullptr);
    {
        CPageHost host;
        std::string url = argc > 1 ? argv[1] : "http://127.0.0.1:9/";
        host.url.assign(url.begin(), url.end());
        RECT rect = {0, 0, 680, 420};
        host.Create(nullptr, rect, L"page host", WS_POPUP | WS_VISIBLE);
        host.CenterWindow();
        RECT placed;
        host.GetWindowRect(&placed);
        std::printf("window %ld %ld\n", placed.left, placed.top);
        std::fflush(stdout);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::OleUninitialize();
    std::printf("done\n");
    return 0;
}
