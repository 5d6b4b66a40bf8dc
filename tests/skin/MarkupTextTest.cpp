// The label markup: grammar, values, the literal escape for outside text, and the layout.

#include <gtest/gtest.h>

#include "skin/MarkupText.h"

namespace {

std::wstring Joined(const std::vector<MarkupSegment>& segments) {
    std::wstring text;
    for (const auto& s : segments) text += s.text;
    return text;
}

TEST(Markup, ColourTagsMakeRunsAndCloseBackToTheOuterColour) {
    auto s = ParseMarkup(L"{&#color=0xffffff}A{&#color=#0000ff}B{&#/color}C");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].text, L"A");
    EXPECT_EQ(s[0].colour, 0xFFFFFF);
    EXPECT_EQ(s[1].text, L"B");
    EXPECT_EQ(s[1].colour, 0x0000FF);
    EXPECT_EQ(s[2].text, L"C");
    EXPECT_EQ(s[2].colour, 0xFFFFFF);
    EXPECT_EQ(s[0].font, -1);
    EXPECT_TRUE(s[0].link.empty());
}

TEST(Markup, UnclosedTagStartIsPlainText) {
    auto s = ParseMarkup(L"x{&#y");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, L"x{&#y");
    EXPECT_EQ(Joined(ParseMarkup(L"{&{&#color=5}a")), L"{&a");
    EXPECT_EQ(ParseMarkup(L"{&#color=5}a")[0].colour, 5);
    EXPECT_TRUE(ParseMarkup(L"").empty());
    EXPECT_TRUE(ParseMarkup(L"{&#}{&#color=1}").empty());
}

TEST(Markup, FontNumbersOutsideTheTableKeepTheFont) {
    auto s = ParseMarkup(
        L"{&#font=17}a{&#font=1}b{&#font=16}c{&#/font}d{&#/font}e{&#/font}f"
        L"{&#font=0}g{&#font=x}h");
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].font, -1);
    EXPECT_EQ(s[1].font, 0);
    EXPECT_EQ(s[2].font, 15);
    EXPECT_EQ(s[3].font, 0);
    EXPECT_EQ(s[4].font, -1);
    EXPECT_EQ(s[5].font, -1);  // the bottom of the stack stays
    EXPECT_EQ(s[6].font, -1);
    EXPECT_EQ(s[7].font, -1);
}

TEST(Markup, CommandLinksTakeTheLinkColourStack) {
    auto s = ParseMarkup(
        L"{&#color=0x888888}hint {&#a=button:103}{&#acolor=16678964}点击反馈"
        L"{&#/a} tail {&#A=http://x/}{&#/ACOLOR}web{&#/a}");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].colour, 0x888888);
    EXPECT_EQ(s[1].text, L"点击反馈");
    EXPECT_EQ(s[1].link, L"button:103");
    EXPECT_EQ(s[1].colour, 16678964);
    EXPECT_EQ(s[2].text, L" tail ");
    EXPECT_TRUE(s[2].link.empty());
    EXPECT_EQ(s[2].colour, 0x888888);
    EXPECT_EQ(s[3].link, L"http://x/");  // names in any case
    EXPECT_EQ(s[3].colour, -1);          // the link colour was closed: the label's default
}

TEST(Markup, UnknownAndUnbalancedTagsAreHarmless) {
    auto s = ParseMarkup(L"{&#/a}{&#/color}{&#/acolor}{&#bold}a{&#a=}b");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].colour, -1);
    EXPECT_TRUE(s[1].link.empty());  // "a=" with an empty target is no link
}

TEST(MarkupValues, ReadLikeWcstolForThirtyTwoBits) {
    EXPECT_EQ(ParseMarkupColour(L"#ff00"), 0xFF00);
    EXPECT_EQ(ParseMarkupColour(L"0X10"), 16);
    EXPECT_EQ(ParseMarkupColour(L"255abc"), 255);
    EXPECT_EQ(ParseMarkupColour(L"  -7"), -7);
    EXPECT_EQ(ParseMarkupColour(L"+12"), 12);
    EXPECT_EQ(ParseMarkupColour(L"abc"), 0);
    EXPECT_EQ(ParseMarkupColour(L""), 0);
    EXPECT_EQ(ParseMarkupColour(L"#0x1f"), 0x1F);
    EXPECT_EQ(ParseMarkupColour(L"#FFFFFFFF"), INT32_MAX);
    EXPECT_EQ(ParseMarkupColour(L"99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseMarkupColour(L"-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseMarkupLong(L"0xg", 16), 0);

    uint16_t id = 0;
    EXPECT_TRUE(ParseButtonTarget(L"button:103", &id));
    EXPECT_EQ(id, 103);
    EXPECT_TRUE(ParseButtonTarget(L"BUTTON:0x1F", &id));
    EXPECT_EQ(id, 0x1F);
    EXPECT_TRUE(ParseButtonTarget(L"button:65637", &id));
    EXPECT_EQ(id, 101);  // truncated to 16 bits
    EXPECT_FALSE(ParseButtonTarget(L"http://button:1", &id));
}

TEST(MarkupEscape, OutsideTextNeverBecomesATag) {
    const std::wstring hostile[] = {
        L"{&#a=C:\\Windows\\system32\\calc.exe}点我{&#/a}",
        L"{&#color=0xff}",
        L"{&#",
        L"{",
        L"{&",
        L"{{&#}}",
        L"a{&#b}c{&#d",
        L"{&#font=16}{&#a=button:100}x",
        L"plain {braces} & #hash",
    };
    for (const std::wstring& text : hostile) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        auto s = ParseMarkup(EscapeMarkupText(text));
        EXPECT_EQ(Joined(s), text);
        for (const auto& segment : s) {
            EXPECT_TRUE(segment.link.empty());
            EXPECT_EQ(segment.colour, -1);
            EXPECT_EQ(segment.font, -1);
        }
        // Inside a window's own markup, with tags before and after it.
        auto framed = ParseMarkup(L"{&#color=0xffffff}" + EscapeMarkupText(text) +
                                  L"{&#a=button:7}{&#acolor=255}打开");
        ASSERT_GE(framed.size(), 2u);
        EXPECT_EQ(framed.back().text, L"打开");
        EXPECT_EQ(framed.back().link, L"button:7");
        std::wstring before;
        for (size_t i = 0; i + 1 < framed.size(); ++i) {
            before += framed[i].text;
            EXPECT_TRUE(framed[i].link.empty());
            EXPECT_EQ(framed[i].colour, 0xFFFFFF);
        }
        EXPECT_EQ(before, text);
    }
    EXPECT_EQ(EscapeMarkupText(L"游戏名 {v1.0}"), L"游戏名 {v1.0}");  // harmless braces stay
}

TEST(MarkupLayout, RunsShareTheBottomEdge) {
    std::vector<MarkupBox> boxes;
    int width = 0;
    int tallest = LayoutMarkupLine({{0, 0, 40, 12}, {0, 0, 30, 16}, {0, 0, 5, 10}}, boxes, &width);
    EXPECT_EQ(tallest, 16);
    EXPECT_EQ(width, 75);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].top, 4);
    EXPECT_EQ(boxes[0].right, 40);
    EXPECT_EQ(boxes[1].left, 40);
    EXPECT_EQ(boxes[1].top, 0);
    EXPECT_EQ(boxes[2].left, 70);
    EXPECT_EQ(boxes[2].top, 6);
    EXPECT_EQ(boxes[2].bottom, 16);
    EXPECT_EQ(LayoutMarkupLine({}, boxes, &width), 0);
    EXPECT_EQ(width, 0);
}

}  // namespace
