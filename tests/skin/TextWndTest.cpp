// The markup label on a real host window: colours, layout and clipping read back as pixels,
// the link click protocol with real mouse messages, and the link rules.

#include <gtest/gtest.h>

#include "skin/MarkupText.h"
#include "skin/SkinTestSupport.h"
#include "skin/SkinText.h"
#include "skin/SomTextWnd.h"

using namespace skintest;

namespace {

constexpr DWORD kVisible = CSomWnd::kVisible;
constexpr DWORD kAutoSize = CSomWnd::kAutoSize;

// Records what would go to the shell instead of opening it.
class CRecordingTextWnd : public CSomTextWnd {
public:
    std::vector<std::wstring> opened;

protected:
    void ShellOpen(const std::wstring& target) override { opened.push_back(target); }
};

class TextWndTest : public CHostTest<50, 50, 400, 120> {
protected:
    // Host point at the middle of segment `i` of the label.
    POINT Centre(const CSomTextWnd& label, int i) {
        const RECT& r = label.GetSegments()[i].rect;
        return {label.Rect().left + (r.left + r.right) / 2,
                label.Rect().top + (r.top + r.bottom) / 2};
    }
    void Click(POINT p) { CHostTest::Click(p.x, p.y); }
    // Whether any pixel of the host rectangle has exactly this colour.
    static bool Shows(const CPixels& pixels, RECT r, COLORREF colour) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (pixels.At(x, y) == colour) return true;
            }
        }
        return false;
    }
    static bool OnlyBackground(const CPixels& pixels, RECT r) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (pixels.At(x, y) != kHostBackground) return false;
            }
        }
        return true;
    }
    RECT HostRect(const CSomTextWnd& label, int i) {
        RECT r = label.GetSegments()[i].rect;
        ::OffsetRect(&r, label.Rect().left, label.Rect().top);
        return r;
    }
};

TEST_F(TextWndTest, RunsAreDrawnInTheirColoursOnACommonBaseline) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    label.SetText(
        L"{&#color=0xffffff}WWW{&#font=8}{&#color=#00ff00}MMM{&#/color}{&#/font}XXX"
        L"{&#a=button:5}Link");
    const auto& s = label.GetSegments();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_TRUE(label.IsTransparent());
    EXPECT_EQ(label.GetHeight(), s[1].rect.bottom);  // the 13-px bold run is the tallest
    EXPECT_EQ(s[0].rect.bottom, s[1].rect.bottom);
    EXPECT_GE(s[0].rect.top, s[1].rect.top);
    EXPECT_EQ(label.GetWidth(), s[3].rect.right);

    CPixels pixels(host.m_hWnd);
    EXPECT_TRUE(Shows(pixels, HostRect(label, 0), RGB(255, 255, 255)));
    EXPECT_TRUE(Shows(pixels, HostRect(label, 1), 0x00FF00));  // used as a COLORREF as is
    EXPECT_TRUE(Shows(pixels, HostRect(label, 2), RGB(255, 255, 255)));
    EXPECT_TRUE(Shows(pixels, HostRect(label, 3), CSomTextWnd::kDefaultLinkColour));

    // Hovering a link draws it in the hover colour.
    POINT link = Centre(label, 3);
    Mouse(WM_MOUSEMOVE, link.x, link.y);
    EXPECT_EQ(label.GetHoveredSegment(), 3);
    CPixels hovered(host.m_hWnd);
    EXPECT_TRUE(Shows(hovered, HostRect(label, 3), CSomTextWnd::kDefaultLinkHoverColour));
    EXPECT_FALSE(Shows(hovered, HostRect(label, 3), CSomTextWnd::kDefaultLinkColour));
    Mouse(WM_MOUSEMOVE, 390, 110);
    EXPECT_EQ(label.GetHoveredSegment(), -1);
}

TEST_F(TextWndTest, SettingTheSameMarkupKeepsHover) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    const wchar_t* markup = L"{&#a=button:1}打开{&#/a} {&#a=button:2}更改";
    label.SetText(markup);
    POINT p = Centre(label, 0);
    Mouse(WM_MOUSEMOVE, p.x, p.y);
    ASSERT_EQ(label.GetHoveredSegment(), 0);
    label.SetText(std::wstring(markup));
    EXPECT_EQ(label.GetHoveredSegment(), 0);
    label.SetText(L"{&#a=button:1}打开{&#/a} ");
    EXPECT_EQ(label.GetHoveredSegment(), -1);
    label.SetText(nullptr);
    EXPECT_TRUE(label.GetSegments().empty());
    EXPECT_EQ(label.GetWidth(), 0);
}

TEST_F(TextWndTest, MaximumWidthClipsWithEllipsisAndSkipsLaterRuns) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    label.SetText(L"{&#color=0xffffff}AAAA{&#color=0x00ff00}BBBBBBBB{&#color=0x0000ff}CCCC");
    const auto& s = label.GetSegments();
    const int first = s[0].rect.right;
    ASSERT_GT(s[1].rect.right - s[1].rect.left, 20);
    const int limit = first + 10;  // crosses the second run; the third starts beyond it
    label.SetMaxWidth(limit);
    label.RecalcLayout();
    EXPECT_EQ(label.GetWidth(), limit);

    CPixels pixels(host.m_hWnd);
    EXPECT_TRUE(Shows(pixels, HostRect(label, 0), RGB(255, 255, 255)));
    RECT second = HostRect(label, 1);
    RECT visible = second, hidden = second;
    visible.right = 10 + limit;
    hidden.left = 10 + limit;
    EXPECT_TRUE(Shows(pixels, visible, RGB(0, 255, 0)));
    EXPECT_TRUE(OnlyBackground(pixels, hidden));
    EXPECT_TRUE(OnlyBackground(pixels, HostRect(label, 2)));
}

TEST_F(TextWndTest, LinkFiresOnReleaseOverALinkOfTheSameLabel) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    label.SetText(L"{&#a=button:0x11}AAA{&#/a} plain {&#a=button:18}BBB");

    Click(Centre(label, 0));
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, 17);
    EXPECT_EQ(host.commands[0].element, reinterpret_cast<LPARAM>(&label));

    // Press A, move onto B, release: B fires.
    POINT a = Centre(label, 0), b = Centre(label, 2);
    Mouse(WM_MOUSEMOVE, a.x, a.y);
    Mouse(WM_LBUTTONDOWN, a.x, a.y);
    EXPECT_EQ(label.GetPressedSegment(), 0);
    Mouse(WM_MOUSEMOVE, b.x, b.y);
    Mouse(WM_LBUTTONUP, b.x, b.y);
    ASSERT_EQ(host.commands.size(), 2u);
    EXPECT_EQ(host.commands[1].id, 18);

    // Released outside the label: cancelled. Released over plain text: cancelled too.
    Mouse(WM_MOUSEMOVE, a.x, a.y);
    Mouse(WM_LBUTTONDOWN, a.x, a.y);
    Mouse(WM_MOUSEMOVE, 390, 110);
    Mouse(WM_LBUTTONUP, 390, 110);
    POINT plain = Centre(label, 1);
    Mouse(WM_MOUSEMOVE, a.x, a.y);
    Mouse(WM_LBUTTONDOWN, a.x, a.y);
    Mouse(WM_MOUSEMOVE, plain.x, plain.y);
    Mouse(WM_LBUTTONUP, plain.x, plain.y);
    EXPECT_EQ(host.commands.size(), 2u);

    // A click on plain text is not consumed.
    LRESULT result = 0;
    EXPECT_FALSE(host.ProcessMessage(host.m_hWnd, WM_LBUTTONDOWN, 0, MouseLParam(plain.x, plain.y),
                                     result, 0));
    EXPECT_EQ(host.GetCapturedElement(), nullptr);
}

TEST_F(TextWndTest, NewTextWhilePressedCancelsTheClick) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    label.SetText(L"{&#a=button:3}AAA");
    POINT a = Centre(label, 0);
    Mouse(WM_MOUSEMOVE, a.x, a.y);
    Mouse(WM_LBUTTONDOWN, a.x, a.y);
    label.SetText(L"{&#a=button:3}BBB");
    EXPECT_EQ(host.GetCapturedElement(), nullptr);
    Mouse(WM_LBUTTONUP, a.x, a.y);
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(TextWndTest, OnlyWebLinksAndProtocolsGoToTheShell) {
    CRecordingTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    const wchar_t* refused[] = {
        L"C:\\Windows\\system32\\calc.exe",
        L"c:/windows/notepad.exe",
        L"\\\\server\\share\\setup.exe",
        L"file:///C:/Windows/system32/cmd.exe",
        L"FILE://server/share/a.exe",
        L"cmd.exe",
        L"..\\evil.bat",
    };
    for (const wchar_t* target : refused) {
        label.SetText(std::wstring(L"{&#a=") + target + L"}x");
        Click(Centre(label, 0));
    }
    EXPECT_TRUE(label.opened.empty());
    label.SetText(L"{&#a=http://bbs.example.com/}论坛");
    Click(Centre(label, 0));
    label.SetText(L"{&#a=https://example.com/a?b=c}x");
    Click(Centre(label, 0));
    ASSERT_EQ(label.opened.size(), 2u);
    EXPECT_EQ(label.opened[0], L"http://bbs.example.com/");
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(TextWndTest, OutsideTextShowsLiterallyAndCannotMakeLinks) {
    CRecordingTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    const std::wstring hostile = L"{&#a=button:100}{&#color=0xff}关闭{&#/a}";
    label.SetText(L"{&#color=0xffffff}" + EscapeMarkupText(hostile) +
                  L"{&#a=button:7}{&#acolor=255}打开");
    std::wstring shown;
    for (const auto& s : label.GetSegments()) {
        if (s.link.empty()) shown += s.text;
    }
    EXPECT_EQ(shown, hostile);
    for (size_t i = 0; i + 1 < label.GetSegments().size(); ++i) {
        Click(Centre(label, int(i)));
    }
    EXPECT_TRUE(host.commands.empty());
    Click(Centre(label, int(label.GetSegments().size()) - 1));
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, 7);

    label.SetPlainText(L"{&#a=C:\\x.exe}run");
    ASSERT_EQ(label.GetSegments().size(), 2u);
    Click(Centre(label, 0));
    Click(Centre(label, 1));
    EXPECT_TRUE(label.opened.empty());
}

TEST_F(TextWndTest, HandCursorOnlyOverLinks) {
    CSomTextWnd label;
    label.Create(host.Manager(), 10, 10, 1, kVisible | kAutoSize);
    label.SetText(L"plain{&#a=button:1}link");
    const RECT& plain = label.GetSegments()[0].rect;
    const RECT& link = label.GetSegments()[1].rect;
    EXPECT_FALSE(label.OnSetCursor({plain.left + 1, plain.top + 1}));
    EXPECT_TRUE(label.OnSetCursor({link.left + 1, link.top + 1}));
}

}  // namespace
