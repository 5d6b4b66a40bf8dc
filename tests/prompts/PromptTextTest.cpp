// The companion offer's tip and the wrapped layout of prompt messages.
#include <gtest/gtest.h>

#include "prompts/PromptText.h"

namespace {

// A character outside the basic plane as UTF-16 (the program's wide strings are UTF-16).
const std::wstring kGrinningFace = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};

MessageMetrics UniformMetrics(const std::wstring& message, int charWidth, int charHeight = 12) {
    MessageMetrics metrics;
    metrics.clientWidth = 404;
    metrics.clientHeight = 201;
    metrics.textHeight = charHeight;
    metrics.cellWidths.assign(SplitMessageCells(message).size(), charWidth);
    metrics.textWidth = charWidth * static_cast<int>(metrics.cellWidths.size());
    return metrics;
}

}  // namespace

TEST(QuilletTip, EmptyTipBecomesTheDefaultOffer) {
    EXPECT_EQ(MakeQuilletTip(L""),
              L"Vexa游戏Quillet是专门为游戏打造的防木马盗号神器，您确认放弃安装吗？");
}

TEST(QuilletTip, OnlyThePartBeforeTheFirstYenSignIsKept) {
    EXPECT_EQ(MakeQuilletTip(L"第一部分￥第二部分￥第三部分"), L"第一部分");
    EXPECT_EQ(MakeQuilletTip(L"￥只有后面"), L"");
    EXPECT_EQ(MakeQuilletTip(L"没有分隔"), L"没有分隔");
}

TEST(QuilletTip, LongTipsAreCutToFortyCharacters) {
    std::wstring fifty;
    for (int i = 0; i < 50; ++i) fifty += static_cast<wchar_t>(L'一' + i);
    std::wstring tip = MakeQuilletTip(fifty);
    EXPECT_EQ(tip, fifty.substr(0, 40));
    EXPECT_EQ(MakeQuilletTip(std::wstring(40, L'a')).size(), 40u);
    // A surrogate pair straddling the cut is dropped whole, never split.
    std::wstring straddling = std::wstring(39, L'a') + kGrinningFace + L"bbb";
    EXPECT_EQ(MakeQuilletTip(straddling), std::wstring(39, L'a'));
}

TEST(PromptMessageLayout, ShortMessageIsOneCentredLine) {
    std::wstring message = L"下载文件被破坏，请重新下载!";
    std::vector<MessageCell> cells = LayoutPromptMessage(message, UniformMetrics(message, 12));
    ASSERT_EQ(cells.size(), message.size());
    EXPECT_EQ(cells.front().left, 84);  // (404 - 235) / 2
    EXPECT_EQ(cells.front().top, (201 - 17) / 2);
    EXPECT_EQ(cells.back().top, cells.front().top);
    EXPECT_EQ(cells[1].left, 96);
    EXPECT_EQ(cells.front().bottom - cells.front().top, 17);  // text height + 5
}

TEST(PromptMessageLayout, ThreeHundredPixelsWrapOntoTwoCentredLines) {
    std::wstring message(25, L'字');  // 25 x 12 = 300 pixels
    std::vector<MessageCell> cells = LayoutPromptMessage(message, UniformMetrics(message, 12));
    ASSERT_EQ(cells.size(), 25u);
    const int firstTop = (201 - 2 * 17) / 2;
    // 19 characters fit in the column (84 + 19 * 12 = 312 <= 319), the 20th wraps.
    for (int i = 0; i < 19; ++i) EXPECT_EQ(cells[i].top, firstTop) << i;
    EXPECT_EQ(cells[19].top, firstTop + 17);
    EXPECT_EQ(cells[19].left, 84);
    EXPECT_EQ(cells[24].left, 84 + 5 * 12);
}

TEST(PromptMessageLayout, WidthOf235IsStillOneLineAnd236IsTwo) {
    std::wstring oneLine(5, L'x');
    MessageMetrics metrics = UniformMetrics(oneLine, 47);  // 235 exactly
    EXPECT_EQ(LayoutPromptMessage(oneLine, metrics).front().top, (201 - 17) / 2);
    metrics.textWidth = 236;
    EXPECT_EQ(LayoutPromptMessage(oneLine, metrics).front().top, (201 - 34) / 2);
}

TEST(PromptMessageLayout, LinesBelowTheWindowAreNotDrawn) {
    std::wstring message(400, L'字');
    std::vector<MessageCell> cells = LayoutPromptMessage(message, UniformMetrics(message, 12));
    ASSERT_FALSE(cells.empty());
    EXPECT_LT(cells.size(), message.size());
    for (const MessageCell& cell : cells) EXPECT_LE(cell.bottom, 201);
}

TEST(PromptMessageLayout, EmptyMessageDrawsNothing) {
    EXPECT_TRUE(LayoutPromptMessage(L"", UniformMetrics(L"", 12)).empty());
}

TEST(PromptMessageLayout, SurrogatePairsStayInOneCell) {
    std::wstring message = L"a" + kGrinningFace + L"b";
    std::vector<MessageCell> cells = LayoutPromptMessage(message, UniformMetrics(message, 12));
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[1].text, kGrinningFace);
}
