// Buttons, check box and progress bars on a real host window, driven with mouse messages
// and checked by the pixels they paint. Saves a screenshot of a sample to the artefacts.

#include <gtest/gtest.h>

#include "skin/QuilletProgress.h"
#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinResourcesInstance.h"
#include "skin/SkinTestSupport.h"
#include "skin/SkinText.h"
#include "skin/SomButton4.h"
#include "skin/SomCheckBox.h"
#include "skin/SomTextWnd.h"
#include "skin/TextProgress.h"

using namespace skintest;

namespace {

constexpr DWORD kVisible = CSomWnd::kVisible;
constexpr DWORD kAutoSize = CSomWnd::kAutoSize;

class ControlsTest : public CHostTest<30, 30, 520, 260> {
protected:
    // What `bitmap` frame `frame` looks like at its natural size over the host background.
    COLORREF Reference(CSomBitmap* bitmap, int frame, int x, int y) {
        CPixels reference(bitmap->GetFrameWidth(), bitmap->GetHeight());
        reference.Fill(kHostBackground);
        bitmap->DrawFrame(reference.DC(), 0, 0, frame);
        ::GdiFlush();
        return reference.At(x, y);
    }
};

TEST_F(ControlsTest, ButtonClickCompletesOnlyWhenReleasedOverIt) {
    CSomButton4 button;
    button.Create(host.Manager(), 10, 10, 42, kVisible | kAutoSize);
    button.SetBackground(g_SharedBitmaps.Get(126));
    ASSERT_EQ(button.GetWidth(), 78);
    ASSERT_EQ(button.GetHeight(), 30);

    Click(20, 20);
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, 42);
    EXPECT_EQ(host.commands[0].notifyCode, 0);
    EXPECT_EQ(host.commands[0].element, reinterpret_cast<LPARAM>(&button));

    // Press, drag out, release: nothing.
    Mouse(WM_LBUTTONDOWN, 20, 20);
    Mouse(WM_MOUSEMOVE, 200, 200);
    EXPECT_FALSE(button.IsHover());
    Mouse(WM_LBUTTONUP, 200, 200);
    EXPECT_EQ(host.commands.size(), 1u);
    EXPECT_FALSE(button.IsPressed());

    // Press, drag out and back in, release: one command.
    Mouse(WM_MOUSEMOVE, 20, 20);
    Mouse(WM_LBUTTONDOWN, 20, 20);
    Mouse(WM_MOUSEMOVE, 200, 200);
    Mouse(WM_MOUSEMOVE, 30, 20);
    Mouse(WM_LBUTTONUP, 30, 20);
    EXPECT_EQ(host.commands.size(), 2u);

    // A second press while pressed is absorbed: one command for the one release.
    Mouse(WM_LBUTTONDOWN, 20, 20);
    Mouse(WM_LBUTTONDBLCLK, 20, 20);
    Mouse(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(host.commands.size(), 3u);
    EXPECT_EQ(host.GetCapturedElement(), nullptr);

    // A press with no mouse move before it (the window appeared under a still pointer, or
    // the system dropped the move) still clicks: the press shows where the pointer is.
    Mouse(WM_MOUSEMOVE, 200, 200);
    Mouse(WM_LBUTTONDOWN, 20, 20);
    Mouse(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(host.commands.size(), 4u);
    // Likewise the release's own point decides: released elsewhere with no move, no click.
    Mouse(WM_LBUTTONDOWN, 20, 20);
    Mouse(WM_LBUTTONUP, 200, 200);
    EXPECT_EQ(host.commands.size(), 4u);
    EXPECT_FALSE(button.IsHover());
}

TEST_F(ControlsTest, ButtonShowsTheFrameOfItsState) {
    CSomBitmap* strip = g_SharedBitmaps.Get(128);
    CSomButton4 button;
    button.Create(host.Manager(), 100, 50, 7, kVisible | kAutoSize);
    button.SetBackground(strip);
    const int px = 3, py = 15;  // inside the rounded edge, left of the painted label
    auto shown = [&] {
        CPixels pixels(host.m_hWnd);
        return pixels.At(100 + px, 50 + py);
    };
    EXPECT_EQ(shown(), Reference(strip, 0, px, py));
    Mouse(WM_MOUSEMOVE, 110, 60);
    EXPECT_EQ(shown(), Reference(strip, 1, px, py));
    Mouse(WM_LBUTTONDOWN, 110, 60);
    EXPECT_EQ(shown(), Reference(strip, 2, px, py));
    Mouse(WM_MOUSEMOVE, 300, 200);  // dragged out: normal look while still pressed
    EXPECT_EQ(shown(), Reference(strip, 0, px, py));
    Mouse(WM_LBUTTONUP, 300, 200);
    EXPECT_NE(Reference(strip, 0, px, py), Reference(strip, 1, px, py));
    EXPECT_NE(Reference(strip, 1, px, py), Reference(strip, 2, px, py));

    // A three-frame strip has no disabled look: the normal frame shows.
    button.Enable(FALSE);
    EXPECT_EQ(shown(), Reference(strip, 0, px, py));
    Click(110, 60);
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(ControlsTest, ButtonLayoutCentresIconAndLabel) {
    const HFONT font = g_SkinResources.Font(CSkinResources::kDefaultFont);
    CSomButton4 fixed;
    fixed.Create(host.Manager(), nullptr, nullptr, 10, 10, 100, 30, 1, kVisible);
    fixed.SetLabel(L"确定");
    fixed.UpdateLayout();
    const int labelWidth = MeasureSkinText(L"确定", font).cx;
    ASSERT_GT(labelWidth, 0);
    EXPECT_EQ(fixed.GetContentX(), (100 - labelWidth) / 2);
    EXPECT_EQ(fixed.GetWidth(), 100);

    CSomBitmap* icon = g_SharedBitmaps.Get(137);  // 16 x 15
    fixed.SetIcon(icon, 0);
    fixed.UpdateLayout();
    EXPECT_EQ(fixed.GetContentX(), (100 - (16 + 5 + labelWidth)) / 2);

    CSomButton4 autoShort, autoLong;
    autoShort.Create(host.Manager(), 10, 60, 2, kVisible | kAutoSize);
    autoShort.SetLabel(L"a");
    autoShort.SetBackground(g_SharedBitmaps.Get(126));
    EXPECT_EQ(autoShort.GetWidth(), 78);  // max(label + 15, 78)
    const std::wstring longLabel = L"一个很长很长很长的按钮标签";
    autoLong.Create(host.Manager(), 10, 100, 3, kVisible | kAutoSize);
    autoLong.SetLabel(longLabel);
    autoLong.SetBackground(g_SharedBitmaps.Get(126));
    EXPECT_EQ(autoLong.GetWidth(), MeasureSkinText(longLabel, font).cx + 15);
    EXPECT_EQ(autoLong.GetContentX(), 7);
    EXPECT_EQ(autoLong.GetHeight(), 30);
}

TEST_F(ControlsTest, CheckBoxTogglesThenReportsTheClick) {
    CSomBitmap box(110, 9);
    CSomCheckBox check(&box, FALSE);
    check.SetLabel(L"同时安装");
    check.Create(host.Manager(), 20, 20, 9, kVisible | kAutoSize);
    EXPECT_EQ(check.GetWidth(), 14 + 5 + MeasureSkinText(L"同时安装", g_SkinResources.Font(2)).cx);
    EXPECT_TRUE(check.IsTransparent());

    Click(25, 25);
    EXPECT_TRUE(check.GetCheck());
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, 9);
    EXPECT_EQ(check.CurrentFrame(), 5);  // hover, checked
    Mouse(WM_LBUTTONDOWN, 25, 25);
    EXPECT_EQ(check.CurrentFrame(), 6);
    Mouse(WM_MOUSEMOVE, 400, 200);
    Mouse(WM_LBUTTONUP, 400, 200);  // released outside: no change, no command
    EXPECT_TRUE(check.GetCheck());
    EXPECT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(check.CurrentFrame(), 4);

    // The box is drawn one pixel down beside its label.
    CPixels pixels(host.m_hWnd);
    EXPECT_EQ(pixels.At(27, 28), Reference(&box, 4, 7, 7));

    // Pressed and released with no move before: toggled all the same.
    Mouse(WM_MOUSEMOVE, 400, 200);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_FALSE(check.GetCheck());
    EXPECT_EQ(host.commands.size(), 2u);
    check.Enable(FALSE);
    EXPECT_EQ(check.CurrentFrame(), 3);
}

TEST_F(ControlsTest, RadioStaysCheckedAndMixedBecomesChecked) {
    CSomBitmap box(110, 9);
    CSomCheckBox radio(&box, TRUE), mixed(&box, FALSE);
    radio.Create(host.Manager(), 20, 20, 1, kVisible | kAutoSize);
    mixed.Create(host.Manager(), 20, 60, 2, kVisible | kAutoSize);
    EXPECT_FALSE(radio.IsTransparent());  // no label

    Click(25, 25);
    Click(25, 25);
    EXPECT_TRUE(radio.GetCheck());
    EXPECT_EQ(host.commands.size(), 2u);  // still reported

    mixed.SetCheck(TRUE);
    mixed.SetMixed();
    EXPECT_EQ(mixed.CurrentFrame(), 8);
    Click(25, 65);
    EXPECT_TRUE(mixed.GetCheck());
    EXPECT_FALSE(mixed.IsMixed());

    mixed.SetMixed();
    mixed.SetCheck(TRUE);  // the same value still clears the mixed state
    EXPECT_FALSE(mixed.IsMixed());
    EXPECT_TRUE(mixed.GetCheck());
}

TEST_F(ControlsTest, ProgressRangeAndPositionRules) {
    CQuilletProgress progress;
    progress.Create(host.Manager(), nullptr, nullptr, 10, 10, 200, 0, 1, kVisible | kAutoSize);
    EXPECT_EQ(progress.GetHeight(), 17);
    EXPECT_TRUE(progress.IsTransparent());  // the fill has alpha

    progress.SetPos(40);
    progress.SetRange(5, 5);
    progress.SetRange(10, 3);
    EXPECT_EQ(progress.GetMinimum(), 0);
    EXPECT_EQ(progress.GetMaximum(), 100);
    EXPECT_EQ(progress.GetPos(), 40);

    progress.SetPos(150);
    EXPECT_EQ(progress.GetPos(), 100);
    EXPECT_EQ(progress.FilledWidth(), 200);
    progress.SetPos(-3);
    EXPECT_EQ(progress.GetPos(), 0);

    progress.SetRange(0, 200);
    progress.SetPos(100);
    EXPECT_EQ(progress.FilledWidth(), 100);  // half full, while the text reads 100%
    progress.SetRange(50, 60);
    EXPECT_EQ(progress.GetPos(), 50);  // a new range starts at its minimum
}

// The fill is blue, the track is dark: on the bar's middle row a pixel is "filled" when its
// blue clearly dominates.
bool IsFill(COLORREF c) { return GetBValue(c) > 150 && GetBValue(c) > GetRValue(c) + 60; }

TEST_F(ControlsTest, ProgressCapsAndStretchedFillGeometry) {
    CQuilletProgress progress;
    progress.Create(host.Manager(), nullptr, nullptr, 0, 100, 419, 0, 1, kVisible | kAutoSize);
    progress.SetCapWidth(9);
    const int row = 100 + 8;
    auto filledUpTo = [&](int position) {
        progress.SetRange(0, 419);  // one pixel per step
        progress.SetPos(position);
        CPixels pixels(host.m_hWnd);
        int last = -1;
        for (int x = 0; x < 419; ++x) {
            if (IsFill(pixels.At(x, row))) last = x;
        }
        return last;
    };
    EXPECT_LT(filledUpTo(0), 0);
    EXPECT_LE(filledUpTo(5), 4);  // a 5-pixel stub
    int twelve = filledUpTo(12);  // both caps: the fill reaches x 18
    EXPECT_GE(twelve, 14);
    EXPECT_LE(twelve, 17);
    int hundred = filledUpTo(100);  // caps at 0 and 91, stretched middle
    EXPECT_GE(hundred, 95);
    EXPECT_LE(hundred, 99);
    {
        CPixels pixels(host.m_hWnd);
        for (int x = 10; x < 90; ++x) ASSERT_TRUE(IsFill(pixels.At(x, row))) << x;
        EXPECT_FALSE(IsFill(pixels.At(120, row)));
    }
    int full = filledUpTo(419);
    EXPECT_GE(full, 414);
}

TEST_F(ControlsTest, ScreenshotOfButtonsAndProgressBars) {
    CQuilletProgress quillet;
    CTextProgress download;
    CSomButton4 close, retry, install;
    CMySomButton4 labelled;
    CSomBitmap box(110, 9);
    CSomCheckBox check(&box, FALSE);
    quillet.Create(host.Manager(), nullptr, nullptr, 20, 20, 419, 0, 1, kVisible | kAutoSize);
    quillet.SetCapWidth(8);
    quillet.SetPos(64);
    download.Create(host.Manager(), nullptr, nullptr, 20, 50, 419, 0, 2, kVisible | kAutoSize);
    download.SetCapWidth(9);
    download.SetLabel(L"正在下载 1.2 MB/s");
    download.SetPos(37);
    close.Create(host.Manager(), 20, 90, 3, kVisible | kAutoSize);
    close.SetBackground(g_SharedBitmaps.Get(126));
    retry.Create(host.Manager(), 110, 90, 4, kVisible | kAutoSize);
    retry.SetBackground(g_SharedBitmaps.Get(130));
    install.Create(host.Manager(), 200, 90, 5, kVisible | kAutoSize);
    install.SetBackground(g_SharedBitmaps.Get(135));
    labelled.Create(host.Manager(), 290, 90, 6, kVisible | kAutoSize);
    // As the companion prompt uses it: the words are in the image, the label stays empty.
    labelled.SetLabelColor(0xFFFFFF);
    labelled.SetBackground(g_SharedBitmaps.Get(132));
    // The windows put a label of their own beside the box, in a colour of the skin.
    check.Create(host.Manager(), 20, 140, 7, kVisible | kAutoSize);
    check.SetCheck(TRUE);
    CSomTextWnd checkLabel;
    checkLabel.Create(host.Manager(), 40, 140, 8, kVisible | kAutoSize);
    checkLabel.SetText(L"{&#color=0xdddddd}同时安装Quillet");
    Mouse(WM_MOUSEMOVE, 120, 100);  // retry hovered
    CPixels pixels(host.m_hWnd);
    EXPECT_TRUE(pixels.SaveBmp(ArtifactDir() + "/controls.bmp"));
    EXPECT_TRUE(IsFill(pixels.At(100, 28)));
}

}  // namespace
