// The embedded page view on a system without a browser engine (Wine without Gecko here):
// the failure path runs, quickly, and nothing is left behind; a page that never answers
// gives way to the default picture after the view's time limit.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "skin/DefaultWebWnd.h"
#include "skin/SomHtmlView.h"
#include "skin/WebBrowserSite.h"

namespace {

constexpr DWORD kDownloadWindowHostFlags = 0x24009F;
// Where the download window puts its page area.
constexpr RECT kPageArea = {20, 56, 660, 301};

class OleScope {
public:
    OleScope() { ::OleInitialize(nullptr); }
    ~OleScope() { ::OleUninitialize(); }
};

// A plain top-level window that counts requests for the default page.
class CPageParent : public CWindowImpl<CPageParent> {
public:
    int defaultPageRequests = 0;
    // The download window's size, hidden.
    bool Open() {
        RECT frame = {0, 0, 680, 420};
        return Create(nullptr, frame, L"page parent", WS_POPUP) != nullptr;
    }
    BEGIN_MSG_MAP(CPageParent)
    MESSAGE_HANDLER(CSomHtmlView::kShowDefaultPageMessage, OnShowDefault)
    END_MSG_MAP()

private:
    LRESULT OnShowDefault(UINT, WPARAM, LPARAM, BOOL&) {
        ++defaultPageRequests;
        return 0;
    }
};

// How long a test waits for something that should happen soon: only a hang takes this long,
// while a busy machine may well take seconds.
constexpr DWORD kPatienceMs = 60000;

// A loopback port that takes connections (the system completes them from its backlog) and
// never answers a request: a server that stalls.
class CSilentServer {
public:
    CSilentServer() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;  // the system picks a free port
        int size = sizeof(address);
        if (socket_ != INVALID_SOCKET &&
            ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::listen(socket_, 8) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            url_ = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/page";
        }
    }
    ~CSilentServer() {
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
        if (started_) ::WSACleanup();
    }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;
    const std::wstring& Url() const { return url_; }

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::wstring url_;
};

// How a refused page ends: by its refusal, or by the time limit where the system loses the
// refusal's report (Wine does now and then on a busy machine). The default picture shows
// either way.
bool EndedAsRefused(PageLoadState state) {
    return state == PageLoadState::kFailed || state == PageLoadState::kTimedOut;
}

// A view that notes each navigation the control announces, before the control makes it.
class CHeardView : public CSomHtmlView {
public:
    std::vector<std::wstring> heard;

protected:
    bool AllowNavigation(const wchar_t* url) override {
        heard.emplace_back(url);
        return CSomHtmlView::AllowNavigation(url);
    }
};

void PumpUntil(DWORD milliseconds, const std::function<bool()>& done) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds && !done()) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

}  // namespace

// Without a browser engine the view either cannot be made (Create returns null) or every
// navigation fails; in both cases the parent is asked for its default picture, quickly.
TEST(SomHtmlView, FailingPageAsksTheParentForTheDefaultPicture) {
    OleScope ole;
    CPageParent parent;
    ASSERT_TRUE(parent.Open());
    CSomHtmlView view;
    RECT area = kPageArea;
    HWND hwnd = view.Create(nullptr, L"about:blank", parent, area, CSomHtmlWnd::kDefaultStyle, 0, 0,
                            nullptr, kDownloadWindowHostFlags);
    if (!hwnd) {
        EXPECT_EQ(view.GetSite(), nullptr);
        EXPECT_FALSE(view.IsWindow());
        return;
    }
    EXPECT_TRUE(view.IsListening());
    RECT placed = {};
    ASSERT_TRUE(view.GetRect(&placed));
    EXPECT_EQ(placed.left, 20);
    EXPECT_EQ(placed.bottom, 301);
    // The empty first page is no navigation: the page asked for is the first one.
    EXPECT_EQ(view.LoadState(), PageLoadState::kEmpty);
    view.Navigate(L"http://127.0.0.1:9/");  // nothing listens on the discard port
    PumpUntil(kPatienceMs, [&] { return parent.defaultPageRequests > 0; });
    EXPECT_EQ(parent.defaultPageRequests, 1);
    EXPECT_PRED1(EndedAsRefused, view.LoadState());
}

// A page given as the window text is loaded once the view listens: the control's
// announcement of it is heard, and so is its end.
TEST(SomHtmlView, FirstPageGivenAtCreationIsHeardFrom) {
    OleScope ole;
    CPageParent parent;
    ASSERT_TRUE(parent.Open());
    CHeardView view;
    RECT area = kPageArea;
    if (!view.Create(nullptr, L"http://127.0.0.1:9/", parent, area)) return;
    PumpUntil(kPatienceMs, [&] { return parent.defaultPageRequests > 0; });
    ASSERT_FALSE(view.heard.empty());
    EXPECT_EQ(view.heard.front(), L"http://127.0.0.1:9/");
    EXPECT_EQ(parent.defaultPageRequests, 1);
    EXPECT_PRED1(EndedAsRefused, view.LoadState());
}

// A view in the download window's page area, beside a server that takes connections and
// never answers. `made` is false where the system cannot make the view at all.
class SilentServerPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server.Url().empty());
        ASSERT_TRUE(parent.Open());
        RECT area = kPageArea;
        made = view.Create(nullptr, L"about:blank", parent, area) != nullptr;
    }

    OleScope ole;  // first made, last gone
    CSilentServer server;
    CPageParent parent;
    CSomHtmlView view;
    bool made = false;
};

// A server that takes the connection and never answers: the time limit ends the wait, and
// the default picture takes the blank area's place.
TEST_F(SilentServerPageTest, PageThatNeverAnswersGivesTheDefaultPictureAfterTheTimeLimit) {
    if (!made) return;
    view.SetLoadTimeLimit(1000);
    view.Navigate(server.Url().c_str());
    PumpUntil(kPatienceMs, [&] { return parent.defaultPageRequests > 0; });
    EXPECT_EQ(parent.defaultPageRequests, 1);
    EXPECT_EQ(view.LoadState(), PageLoadState::kTimedOut);
}

// A page asked for while another still loads is not started over it: it starts when that one
// has ended (here by the time limit), and the parent hears once, of the second page only.
TEST_F(SilentServerPageTest, SecondPageWaitsUntilTheFirstHasEnded) {
    if (!made) return;
    constexpr DWORD kLimitMs = 2000;
    view.SetLoadTimeLimit(kLimitMs);
    DWORD start = ::GetTickCount();
    view.Navigate(server.Url().c_str());
    view.Navigate(L"http://127.0.0.1:9/");  // refused at once, once it has started
    PumpUntil(kPatienceMs, [&] { return parent.defaultPageRequests > 0; });
    DWORD waited = ::GetTickCount() - start;
    EXPECT_EQ(parent.defaultPageRequests, 1);
    // Not before the first page's time limit (the tick count may be a tick short).
    EXPECT_GE(waited + 20, kLimitMs);
    // Usually the refusal; a machine too busy to deliver it within the second page's own
    // time limit makes that one end by its limit instead: either is this page's own end.
    EXPECT_NE(view.LoadState(), PageLoadState::kNavigating);
}

// The program initialises plain COM only; the view takes care of OLE itself.
TEST(SomHtmlView, WorksOnAThreadWithPlainCom) {
    std::thread thread([] {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        {
            CPageParent parent;
            ASSERT_TRUE(parent.Open());
            CSomHtmlView view;
            RECT area = kPageArea;
            HWND made = view.Create(nullptr, L"about:blank", parent, area);
            if (made) {
                view.Navigate(L"http://127.0.0.1:9/");
                PumpUntil(kPatienceMs, [&] { return parent.defaultPageRequests > 0; });
                EXPECT_GT(parent.defaultPageRequests, 0);
            }
        }
        ::CoUninitialize();
    });
    thread.join();
}

TEST(SomHtmlView, DestroyingTheWindowReleasesTheControlAndTheSite) {
    OleScope ole;
    CPageParent parent;
    ASSERT_TRUE(parent.Open());
    for (int round = 0; round < 5; ++round) {
        CSomHtmlView view;
        RECT area = kPageArea;
        if (!view.Create(nullptr, L"about:blank", parent, area)) continue;
        CWebBrowserSite* site = view.GetSite();
        ASSERT_NE(site, nullptr);
        site->AddRef();
        view.Navigate(L"http://127.0.0.1:9/");
        PumpUntil(300, [] { return false; });
        view.Destroy();
        EXPECT_FALSE(view.IsListening());
        EXPECT_EQ(view.GetSite(), nullptr);
        // Our reference is the last one: the control let go of its site.
        EXPECT_EQ(site->Release(), 0u) << "round " << round;
    }
}

// The default page paints the built-in picture over its whole client area.
TEST(DefaultWebWnd, PaintsThePictureStretchedOverItsArea) {
    CPageParent parent;
    ASSERT_TRUE(parent.Open());
    CDefaultWebWnd page;
    RECT area = kPageArea;
    ASSERT_TRUE(page.Create(parent, area, nullptr, WS_CHILD | WS_VISIBLE));
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 640, 245);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all = {0, 0, 640, 245};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    page.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    // The picture is dark blue everywhere: no white left at the corners or the middle.
    for (POINT p : {POINT{1, 1}, POINT{638, 1}, POINT{320, 122}, POINT{1, 243}, POINT{638, 243}}) {
        COLORREF c = ::GetPixel(dc, p.x, p.y);
        EXPECT_LT(GetRValue(c), 200) << p.x << "," << p.y;
        EXPECT_GT(GetBValue(c), GetRValue(c)) << p.x << "," << p.y;
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    EXPECT_EQ(page.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 10)), 0);
}
