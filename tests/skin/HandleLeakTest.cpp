// The toolkit runs for hours and repaints many times a second: painting, hovering, showing
// prompts and refusing broken images must leave no GDI object behind, on any path.

#include <gtest/gtest.h>

#include <vector>

#include "prompts/FileCheckFailedDlg.h"
#include "skin/PngLoader.h"
#include "skin/PngTestImages.h"
#include "skin/QuilletProgress.h"
#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinTestSupport.h"
#include "skin/SomButton4.h"
#include "skin/SomCheckBox.h"
#include "skin/SomTextWnd.h"
#include "skin/TextProgress.h"

using namespace skintest;

namespace {

constexpr DWORD kVisible = CSomWnd::kVisible;
constexpr DWORD kAutoSize = CSomWnd::kAutoSize;
constexpr int kRounds = 150;
// Wine makes a few objects of its own on first use of a path; a leak per round costs
// kRounds handles.
constexpr int kSlack = 30;

// How many more GDI objects the process can make now. The process's handle table has a fixed
// size, so every handle leaked in between lowers this figure by one.
int FreeGdiHandles() {
    std::vector<HBRUSH> made;
    made.reserve(70000);
    while (made.size() < 200000) {
        HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!brush) break;
        made.push_back(brush);
    }
    for (HBRUSH brush : made) ::DeleteObject(brush);
    return static_cast<int>(made.size());
}

// Runs `round` once to let first-use objects settle, then `rounds` times, and returns how many
// GDI handles the rounds used up.
template <class Round>
int HandlesLostOver(Round round, int rounds = kRounds) {
    round();
    const int before = FreeGdiHandles();
    for (int i = 0; i < rounds; ++i) round();
    return before - FreeGdiHandles();
}

class HandleLeakTest : public CHostTest<40, 40, 1200, 200> {};

TEST_F(HandleLeakTest, PaintingAndHoveringEveryElementKeepsNoHandle) {
    CSomTextWnd label;
    label.Create(host.Manager(), nullptr, nullptr, 10, 10, 0, 0, 1, kVisible | kAutoSize);
    label.SetMaxWidth(90);  // the last run is clipped with an ellipsis
    label.SetText(L"{&#color=0xffffff}标题 {&#font=4}{&#a=button:9}打开{&#/a} 以及很长的一段文字");
    CSomButton4 button;
    CSomBitmap icon(137, 1);
    button.SetLabel(L"按钮");
    button.SetIcon(&icon, 0);
    button.Create(host.Manager(), 10, 40, 2, kVisible | kAutoSize);
    button.SetBackground(g_SharedBitmaps.Get(126));
    CMySomButton4 labelled;
    labelled.Create(host.Manager(), 100, 40, 3, kVisible | kAutoSize);
    labelled.SetLabel(L"继续");
    labelled.SetBackground(g_SharedBitmaps.Get(134));
    CSomBitmap box(110, 9);
    CSomCheckBox check(&box, FALSE);
    check.SetLabel(L"同时安装");
    check.Create(host.Manager(), 200, 40, 4, kVisible | kAutoSize);
    CQuilletProgress quillet;
    quillet.Create(host.Manager(), nullptr, nullptr, 10, 80, 419, 0, 5, kVisible | kAutoSize);
    quillet.SetCapWidth(8);
    CTextProgress download;
    download.Create(host.Manager(), nullptr, nullptr, 10, 110, 419, 0, 6, kVisible | kAutoSize);
    download.SetCapWidth(9);
    download.SetLabel(L"正在下载");
    // Wider than the off-screen buffer: drawn straight onto the window after its background.
    CColourElement wide;
    wide.Create(host.Manager(), nullptr, nullptr, 0, 150, 1100, 40, 7,
                kVisible | CSomWnd::kTransparent);

    const POINT link = {label.Rect().left + label.GetSegments()[1].rect.left + 2,
                        label.Rect().top + 5};
    int position = 0;
    const int lost = HandlesLostOver([&] {
        CPixels printed(host.m_hWnd);  // WM_PRINTCLIENT into a DC of our own
        ::InvalidateRect(host.m_hWnd, nullptr, FALSE);
        ::UpdateWindow(host.m_hWnd);  // BeginPaint/EndPaint
        // Immediate redraws of single elements through GetDC.
        Mouse(WM_MOUSEMOVE, link.x, link.y);
        Mouse(WM_MOUSEMOVE, 20, 45);
        Mouse(WM_MOUSEMOVE, 110, 45);
        Mouse(WM_MOUSEMOVE, 205, 45);
        Mouse(WM_MOUSEMOVE, 600, 20);
        position = (position + 7) % 101;
        quillet.SetPos(position);
        download.SetPos(position);
        check.SetCheck(position % 2);
        wide.Show(FALSE);
        wide.Show(TRUE);
    });
    EXPECT_LT(lost, kSlack);
}

TEST(HandleLeak, ShowingAndPaintingPromptsKeepsNoHandle) {
    const int lost = HandlesLostOver([] {
        CFileCheckFailedDlg prompt;
        prompt.SetMessage(L"文件安全校验失败，更多帮助，请");
        ASSERT_TRUE(prompt.CreatePrompt(nullptr));
        {
            CPixels printed(prompt.m_hWnd);
        }
        ::InvalidateRect(prompt.m_hWnd, nullptr, FALSE);
        ::UpdateWindow(prompt.m_hWnd);
        prompt.SendMessage(WM_CLOSE);
        Pump(0);
    }, 2 * kSlack);
    EXPECT_LT(lost, kSlack);
}

TEST(HandleLeak, RefusedImagesKeepNoHandle) {
    const Bytes good = EncodeRgba(64, 64, std::vector<uint32_t>(64 * 64, 0x80C86432));
    const std::vector<BrokenPng> broken = MakeBrokenVariants(good);
    ASSERT_FALSE(broken.empty());
    // Cut inside the image data: the DIB section exists by the time decoding fails.
    Bytes truncated(good.begin(), good.begin() + good.size() - 20);
    const int lost = HandlesLostOver([&] {
        for (const BrokenPng& png : broken) {
            EXPECT_EQ(LoadPngFromMemory(png.bytes.data(), png.bytes.size()), nullptr) << png.name;
        }
        EXPECT_EQ(LoadPngFromMemory(truncated.data(), truncated.size()), nullptr);
        HBITMAP decoded = LoadPngFromMemory(good.data(), good.size());
        EXPECT_NE(decoded, nullptr);
        ::DeleteObject(decoded);
    });
    EXPECT_LT(lost, kSlack);
}

}  // namespace
