// The element manager with real host windows: routing, hover and capture, z-order painting,
// hidden and disabled elements, off-screen composition, deferred drawing, tool ids.

#include <gtest/gtest.h>

#include "skin/ISomUIElement.h"
#include "skin/SkinTestSupport.h"

using namespace skintest;

namespace {

using ElementManagerTest = CHostTest<40, 40, 300, 200>;

constexpr DWORD kVisible = CSomWnd::kVisible;

TEST_F(ElementManagerTest, LowerIndexWinsClicksAndIsPaintedOnTop) {
    CColourElement top(RGB(200, 0, 0)), below(RGB(0, 0, 200));
    top.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    below.Create(host.Manager(), nullptr, nullptr, 40, 40, 50, 50, 2, kVisible);

    Mouse(WM_LBUTTONDOWN, 45, 45);
    EXPECT_EQ(top.log, "enter;down(35,35);");
    EXPECT_EQ(below.log, "");

    CPixels pixels(host.m_hWnd);
    EXPECT_EQ(pixels.At(45, 45), RGB(200, 0, 0));
    EXPECT_EQ(pixels.At(80, 80), RGB(0, 0, 200));
    EXPECT_EQ(pixels.At(150, 150), kHostBackground);

    // An immediate redraw of the lower element does not paint over the upper one.
    host.Invalidate(FALSE);
    ::UpdateWindow(host.m_hWnd);
    below.colour = RGB(0, 0, 150);
    below.Redraw();
    Pump(20);
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 45, 45), RGB(200, 0, 0));
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 80, 80), RGB(0, 0, 150));
}

TEST_F(ElementManagerTest, DisabledElementIsPaintedButGetsNoMouse) {
    CColourElement disabled(RGB(0, 150, 0)), below(RGB(0, 0, 200));
    disabled.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1,
                    kVisible | CSomWnd::kDisabled);
    below.Create(host.Manager(), nullptr, nullptr, 30, 30, 50, 50, 2, kVisible);

    EXPECT_TRUE(Route(WM_LBUTTONDOWN, 40, 40));  // goes through to the element below
    EXPECT_EQ(below.log, "enter;down(10,10);");
    EXPECT_FALSE(Route(WM_LBUTTONDOWN, 15, 15));  // nothing enabled there: unhandled
    EXPECT_EQ(disabled.log, "");
    Route(WM_MOUSEMOVE, 15, 15);
    EXPECT_EQ(disabled.log, "");

    CPixels pixels(host.m_hWnd);
    EXPECT_EQ(pixels.At(15, 15), RGB(0, 150, 0));
    EXPECT_EQ(pixels.At(40, 40), RGB(0, 150, 0));  // still on top where they overlap

    EXPECT_TRUE(disabled.Enable(FALSE) == FALSE);  // previous state: disabled
    EXPECT_FALSE(disabled.Enable(TRUE));
    EXPECT_TRUE(disabled.IsEnabled());
}

TEST_F(ElementManagerTest, UnconsumedClickIsLeftToDefaultProcessing) {
    CColourElement element;
    element.consume = FALSE;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    EXPECT_FALSE(Route(WM_LBUTTONDOWN, 20, 20));
    EXPECT_EQ(element.log, "enter;down(10,10);");
}

TEST_F(ElementManagerTest, HidingRepaintsTheBackgroundAtOnce) {
    CColourElement element(RGB(200, 0, 0));
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    host.Invalidate(FALSE);
    ::UpdateWindow(host.m_hWnd);
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 20, 20), RGB(200, 0, 0));

    EXPECT_TRUE(element.Show(FALSE));
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 20, 20), kHostBackground);  // no WM_PAINT needed
    EXPECT_FALSE(element.Show(TRUE));
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 20, 20), RGB(200, 0, 0));

    // Hidden elements get no mouse messages.
    element.Show(FALSE);
    EXPECT_FALSE(Route(WM_LBUTTONDOWN, 20, 20));
    EXPECT_EQ(element.log, "");
}

TEST_F(ElementManagerTest, MouseMoveOverBackgroundIsHandledOverElementIsNot) {
    CColourElement element;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    EXPECT_TRUE(Route(WM_MOUSEMOVE, 150, 150));
    EXPECT_FALSE(Route(WM_MOUSEMOVE, 20, 20));
    EXPECT_FALSE(Route(WM_MOUSEMOVE, 21, 20));
    EXPECT_TRUE(Route(WM_MOUSEMOVE, 150, 150));
    EXPECT_EQ(element.log, "enter;move;move;leave;");
    EXPECT_EQ(host.GetHoveredElement(), nullptr);
}

TEST_F(ElementManagerTest, HoverEndsWithoutAFurtherMouseMessage) {
    CColourElement element;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    ::SetCursorPos(900, 900);  // far outside the host
    Route(WM_MOUSEMOVE, 20, 20);
    ASSERT_EQ(host.GetHoveredElement(), &element);
    EXPECT_TRUE(PumpUntil([&] { return host.GetHoveredElement() == nullptr; }));
    EXPECT_EQ(element.log, "enter;move;leave;");
    EXPECT_GT(element.timers, 0);
}

TEST_F(ElementManagerTest, CapturedElementGetsEveryMessageAndHoverFollowsItsRect) {
    CColourElement element, other(RGB(0, 0, 200));
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    other.Create(host.Manager(), nullptr, nullptr, 100, 10, 50, 50, 2, kVisible);
    Route(WM_MOUSEMOVE, 20, 20);
    host.CaptureMouse(&element);
    EXPECT_EQ(::GetCapture(), host.m_hWnd);

    EXPECT_TRUE(Route(WM_MOUSEMOVE, 120, 20));  // over the other element: still ours
    EXPECT_TRUE(Route(WM_MOUSEMOVE, 20, 20));
    EXPECT_TRUE(Route(WM_LBUTTONUP, 120, 20));
    EXPECT_EQ(element.log, "enter;move;leave;move;enter;move;leave;up;");
    EXPECT_EQ(other.log, "");

    host.ReleaseMouse(&element);
    EXPECT_EQ(host.GetCapturedElement(), nullptr);
    EXPECT_EQ(element.log.substr(element.log.size() - 5), "lost;");
}

TEST_F(ElementManagerTest, RemovingACapturedHoveredElementEndsBoth) {
    CColourElement element;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    Route(WM_MOUSEMOVE, 20, 20);
    host.CaptureMouse(&element);
    host.RemoveElement(&element);
    EXPECT_EQ(element.log, "enter;move;lost;leave;");
    EXPECT_EQ(host.GetCapturedElement(), nullptr);
    EXPECT_EQ(host.GetHoveredElement(), nullptr);
    EXPECT_TRUE(host.GetElements().empty());
}

TEST_F(ElementManagerTest, ElementDestroyedFirstLeavesNoDanglingPointer) {
    {
        CColourElement temporary;
        temporary.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
        Route(WM_MOUSEMOVE, 20, 20);
    }
    EXPECT_TRUE(host.GetElements().empty());
    EXPECT_EQ(host.GetHoveredElement(), nullptr);
    EXPECT_TRUE(Route(WM_MOUSEMOVE, 30, 30));
    CPixels pixels(host.m_hWnd);
    EXPECT_EQ(pixels.At(20, 20), kHostBackground);
}

TEST_F(ElementManagerTest, SmallTransparentElementIsComposedOffScreen) {
    CColourElement element(RGB(0, 200, 0));
    element.fillWidth = 20;  // the rest of the element shows the host background
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 60, 40, 1,
                   kVisible | CSomWnd::kTransparent);
    HDC paintDC = nullptr;
    {
        CPixels pixels(host.m_hWnd);
        paintDC = pixels.DC();
        EXPECT_EQ(pixels.At(15, 15), RGB(0, 200, 0));
        EXPECT_EQ(pixels.At(50, 15), kHostBackground);
    }
    EXPECT_NE(element.lastDC, paintDC);  // drawn into the scratch DC at its origin
    EXPECT_EQ(element.lastOrigin.x, 0);
    EXPECT_EQ(element.lastOrigin.y, 0);
}

TEST_F(ElementManagerTest, LargeTransparentElementIsDrawnDirectlyAfterItsBackground) {
    ASSERT_TRUE(host.SetWindowPos(nullptr, 0, 0, 1100, 200, SWP_NOZORDER | SWP_NOMOVE));
    CColourElement wide(RGB(0, 200, 0)), tall(RGB(0, 0, 200));
    wide.fillWidth = 1000;
    tall.fillWidth = 10;
    wide.Create(host.Manager(), nullptr, nullptr, 0, 0, 1030, 20, 1,
                kVisible | CSomWnd::kTransparent);
    tall.Create(host.Manager(), nullptr, nullptr, 0, 30, 30, 150, 2,
                kVisible | CSomWnd::kTransparent);
    CPixels pixels(host.m_hWnd);
    EXPECT_EQ(wide.lastDC, pixels.DC());
    EXPECT_EQ(wide.lastOrigin.x, 0);
    EXPECT_EQ(tall.lastDC, pixels.DC());
    EXPECT_EQ(tall.lastOrigin.y, 30);
    EXPECT_EQ(pixels.At(999, 5), RGB(0, 200, 0));
    EXPECT_EQ(pixels.At(1020, 5), kHostBackground);
    EXPECT_EQ(pixels.At(5, 100), RGB(0, 0, 200));
    EXPECT_EQ(pixels.At(20, 100), kHostBackground);
}

TEST_F(ElementManagerTest, DeferredDrawingOnlyInvalidatesUntilTheEnd) {
    CColourElement element(RGB(200, 0, 0));
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    ::UpdateWindow(host.m_hWnd);
    element.colour = RGB(0, 200, 0);
    host.BeginDeferredDraw();
    int draws = element.draws;
    element.Redraw();
    EXPECT_EQ(element.draws, draws);
    RECT update;
    EXPECT_TRUE(::GetUpdateRect(host.m_hWnd, &update, FALSE));
    host.EndDeferredDraw();
    EXPECT_GT(element.draws, draws);
    EXPECT_EQ(ScreenPixel(host.m_hWnd, 20, 20), RGB(0, 200, 0));
}

TEST_F(ElementManagerTest, RedrawIsSkippedWhileRedrawIsOff) {
    CColourElement element;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    host.SendMessage(WM_SETREDRAW, FALSE);
    int draws = element.draws;
    element.Redraw();
    EXPECT_EQ(element.draws, draws);
    host.SendMessage(WM_SETREDRAW, TRUE);
    element.Redraw();
    EXPECT_EQ(element.draws, draws + 1);
}

TEST_F(ElementManagerTest, MovingAndResizingCallOnlyTheirOwnCallbacks) {
    struct CSizeElement : CColourElement {
        void OnMove(int x, int y) override {
            log += "move" + std::to_string(x) + "," + std::to_string(y) + ";";
        }
        void OnSize(int cx, int cy) override {
            log += "size" + std::to_string(cx) + "," + std::to_string(cy) + ";";
        }
    } element;
    element.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    element.log.clear();
    element.SetPos(20, 10);
    element.SetSize(30, 50);
    element.SetRect(20, 10, 30, 50);  // unchanged: nothing
    element.SetRect(0, 0, 10, 10);
    EXPECT_EQ(element.log, "move20,10;size30,50;move0,0;size10,10;");
    EXPECT_EQ(element.GetWidth(), 10);
}

TEST_F(ElementManagerTest, CursorGoesToTheElementUnderTheMouse) {
    CColourElement element;
    element.Create(host.Manager(), nullptr, nullptr, 0, 0, 300, 200, 1, kVisible);
    POINT origin = {0, 0};
    ::ClientToScreen(host.m_hWnd, &origin);
    ::SetCursorPos(origin.x + 10, origin.y + 10);
    LRESULT result = 0;
    EXPECT_TRUE(host.ProcessMessage(host.m_hWnd, WM_SETCURSOR, 0, 0, result, 0));
    EXPECT_EQ(element.log, "cursor;");
    element.Enable(FALSE);
    EXPECT_FALSE(host.ProcessMessage(host.m_hWnd, WM_SETCURSOR, 0, 0, result, 0));
}

TEST_F(ElementManagerTest, DestroyingTheHostDetachesEveryElement) {
    CColourElement a, b;
    a.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 7, kVisible);
    b.Create(host.Manager(), nullptr, nullptr, 100, 10, 50, 50, 8, kVisible);
    Route(WM_MOUSEMOVE, 20, 20);
    host.DestroyWindow();
    EXPECT_EQ(a.log, "enter;move;leave;destroy;");
    EXPECT_EQ(b.log, "destroy;");
    EXPECT_EQ(a.GetManager(), nullptr);
    EXPECT_FALSE(a.IsVisible());
    EXPECT_EQ(a.GetId(), 0u);
    EXPECT_TRUE(host.GetElements().empty());
    EXPECT_EQ(host.GetHostWindow(), nullptr);
}

TEST_F(ElementManagerTest, OtherMessageMapsAreNotHandled) {
    LRESULT result = 0;
    EXPECT_FALSE(host.ProcessMessage(host.m_hWnd, WM_ERASEBKGND, 0, 0, result, 1));
    EXPECT_TRUE(host.ProcessMessage(host.m_hWnd, WM_ERASEBKGND, 0, 0, result, 0));
    EXPECT_EQ(result, 1);
}

TEST_F(ElementManagerTest, ToolIdsAreUniquePerKeyAndReused) {
    CColourElement a, b;
    a.Create(host.Manager(), nullptr, nullptr, 10, 10, 50, 50, 1, kVisible);
    b.Create(host.Manager(), nullptr, nullptr, 100, 10, 50, 50, 2, kVisible);
    RECT piece = {1, 2, 5, 6};
    EXPECT_EQ(host.AddToolTip(&a, 7, nullptr), 1u);
    EXPECT_EQ(host.AddToolTip(&a, 7, nullptr), 0u);
    EXPECT_EQ(host.AddToolTip(&b, 7, &piece), 2u);
    EXPECT_EQ(host.AddToolTip(&a, 8, nullptr), 3u);

    CSomWnd* element = nullptr;
    UINT key = 0;
    RECT rect;
    ASSERT_TRUE(host.FindTool(2, &element, &key, &rect));
    EXPECT_EQ(element, &b);
    EXPECT_EQ(key, 7u);
    EXPECT_EQ(rect.left, 101);
    EXPECT_EQ(rect.top, 12);
    ASSERT_TRUE(host.FindTool(1, &element, &key, &rect));
    EXPECT_EQ(rect.right, 60);  // whole element

    host.RemoveToolTips(&a);
    EXPECT_FALSE(host.FindTool(1, nullptr, nullptr, nullptr));
    EXPECT_EQ(host.AddToolTip(&b, 9, nullptr), 1u);
    EXPECT_EQ(host.AddToolTip(&a, 7, nullptr), 3u);
}

}  // namespace

namespace {

TEST_F(ElementManagerTest, WindowElementsActOnTheirOwnWindow) {
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 6, 50, 40,
                                   host.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_TRUE(child);
    CSomUIWindowElement element(child);
    RECT rect;
    ASSERT_TRUE(element.GetRect(&rect));
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.right, 55);
    EXPECT_TRUE(element.SetRect(10, 20, 30, 40));
    element.GetRect(&rect);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.bottom, 60);
    element.SetSize(70, 10);
    element.SetPos(1, 2);
    element.GetRect(&rect);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.right, 71);
    EXPECT_EQ(rect.bottom, 12);
    element.GetClientRect(&rect);
    EXPECT_EQ(rect.right, 70);
    element.Show(FALSE);
    EXPECT_FALSE(::IsWindowVisible(child));
    EXPECT_TRUE(element.Destroy());
    EXPECT_FALSE(::IsWindow(child));

    CSomUIWindowElement topLevel(host.m_hWnd);  // no parent window: no parent rectangle
    EXPECT_FALSE(topLevel.GetRect(&rect));
}

}  // namespace
