#pragma once
// Helpers of the skin toolkit tests: a real host window with an element manager, a plain
// colour element that records what the manager calls, pixel read-back and message pumping.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/GdiHandles.h"
#include "shell/Window.h"
#include "skin/SomWnd.h"
#include "skin/SomWndManager.h"

namespace skintest {

constexpr COLORREF kHostBackground = RGB(10, 20, 30);

struct Command {
    WORD id;
    WORD notifyCode;
    LPARAM element;
};

class CTestHost : public CWindowImpl<CTestHost>, public CSomWndManager {
public:
    BEGIN_MSG_MAP(CTestHost)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    CHAIN_PROCESS_MESSAGE(*this)
    END_MSG_MAP()

    // A visible popup at (x, y) with a client area of cx x cy.
    HWND CreateHost(int x, int y, int cx, int cy) {
        RECT rect = {x, y, x + cx, y + cy};
        return Create(nullptr, rect, L"skin test host", WS_POPUP | WS_VISIBLE);
    }
    ISomWndManager* Manager() { return this; }

    void DrawBackground(HDC hdc, const RECT* rect) override {
        ++backgroundCalls;
        RECT area;
        if (rect) {
            area = *rect;
        } else {
            ::GetClipBox(hdc, &area);
        }
        CBrushHandle brush(::CreateSolidBrush(kHostBackground));
        ::FillRect(hdc, &area, brush.Get());
    }

    std::vector<Command> commands;
    int backgroundCalls = 0;

private:
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        commands.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
        return 0;
    }
};

// A solid rectangle (the left fillWidth pixels, or all) that logs the manager's calls.
class CColourElement : public CSomWnd {
public:
    explicit CColourElement(COLORREF c = RGB(200, 0, 0)) : colour(c) {}

    void Draw(HDC hdc, int, int) override {
        ++draws;
        lastDC = hdc;
        ::GetViewportOrgEx(hdc, &lastOrigin);
        RECT r = {0, 0, fillWidth < 0 ? GetWidth() : fillWidth, GetHeight()};
        CBrushHandle brush(::CreateSolidBrush(colour));
        ::FillRect(hdc, &r, brush.Get());
    }
    void OnCaptureLost() override { log += "lost;"; }
    BOOL OnSetCursor(POINT) override {
        log += "cursor;";
        return TRUE;
    }
    BOOL OnLButtonDown(POINT p) override {
        log += "down(" + std::to_string(p.x) + "," + std::to_string(p.y) + ");";
        return consume;
    }
    BOOL OnLButtonUp(POINT) override {
        log += "up;";
        return consume;
    }
    BOOL OnMouseMove(POINT) override {
        log += "move;";
        return FALSE;
    }
    void OnMouseEnter(POINT) override { log += "enter;"; }
    void OnMouseLeave() override { log += "leave;"; }
    void OnTimer() override { ++timers; }
    void OnDestroy() override { log += "destroy;"; }

    COLORREF colour;
    int fillWidth = -1;
    BOOL consume = TRUE;
    std::string log;
    int draws = 0;
    int timers = 0;
    HDC lastDC = nullptr;
    POINT lastOrigin = {0, 0};
};

inline LPARAM MouseLParam(int x, int y) { return MAKELPARAM(x, y); }

// Runs the thread's messages until `done` returns true, or for about `ms` milliseconds. The
// default only stops a hang: a busy machine may take seconds for what is usually instant.
template <class Done>
bool PumpUntil(Done done, DWORD ms = 60000) {
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start > ms) return false;
        ::Sleep(5);
    }
}

inline void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// The host's client area as the manager paints it (WM_PRINTCLIENT into a 32-bit DIB).
class CPixels {
public:
    CPixels(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const DWORD*>(bits);
        select_ = std::make_unique<CSelectObject>(dc_.Get(), bitmap_.Get());
    }
    // Prints the host's client area as the manager paints it.
    explicit CPixels(HWND host) : CPixels(ClientWidth(host), ClientHeight(host)) {
        ::SendMessageW(host, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_.Get()), PRF_CLIENT);
        ::GdiFlush();
    }
    HDC DC() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // 0x00BBGGRR like COLORREF.
    COLORREF At(int x, int y) const {
        DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    BYTE AlphaAt(int x, int y) const { return static_cast<BYTE>(bits_[y * width_ + x] >> 24); }
    void Fill(COLORREF colour) {
        RECT r = {0, 0, width_, height_};
        CBrushHandle brush(::CreateSolidBrush(colour));
        ::FillRect(dc_.Get(), &r, brush.Get());
        ::GdiFlush();
    }
    // Writes a 24-bit BMP (for the test artefacts).
    bool SaveBmp(const std::string& path) const;

private:
    static int ClientWidth(HWND hwnd) {
        RECT r;
        ::GetClientRect(hwnd, &r);
        return r.right;
    }
    static int ClientHeight(HWND hwnd) {
        RECT r;
        ::GetClientRect(hwnd, &r);
        return r.bottom;
    }

    int width_;
    int height_;
    CMemoryDC dc_;
    CBitmapHandle bitmap_;
    const DWORD* bits_ = nullptr;
    std::unique_ptr<CSelectObject> select_;
};

// The pixel the screen shows at a client point of the window (what GetDC drawing left).
inline COLORREF ScreenPixel(HWND hwnd, int x, int y) {
    CClientDC dc(hwnd);
    return ::GetPixel(dc.Get(), x, y);
}

// Folder for screenshots and other test artefacts (created on demand).
std::string ArtifactDir();

// A fixture with one visible host window per test, at HostX/HostY, HostWidth x HostHeight.
template <int HostX, int HostY, int HostWidth, int HostHeight>
class CHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHost(HostX, HostY, HostWidth, HostHeight));
        Pump(20);
    }
    void TearDown() override {
        if (host.IsWindow()) host.DestroyWindow();
    }
    LRESULT Mouse(UINT msg, int x, int y) { return host.SendMessage(msg, 0, MouseLParam(x, y)); }
    void Click(int x, int y) {
        Mouse(WM_MOUSEMOVE, x, y);
        Mouse(WM_LBUTTONDOWN, x, y);
        Mouse(WM_LBUTTONUP, x, y);
    }
    // Feeds a message straight to the manager and says whether it handled it.
    BOOL Route(UINT msg, int x, int y) {
        LRESULT result = 0;
        return host.ProcessMessage(host.m_hWnd, msg, 0, MouseLParam(x, y), result, 0);
    }

    CTestHost host;
};

}  // namespace skintest
