// The prompts' answers, their effect on the caller's loop, and what they draw.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/OwnDeployment.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/InitialFailedDlg.h"
#include "prompts/InstallGameDlg.h"
#include "prompts/OlderVersionDlg.h"
#include "prompts/PromptDownloadQuilletDlg.h"
#include "prompts/PromptFamily.h"
#include "prompts/PromptRunner.h"
#include "prompts/PromptSkin.h"

namespace {

// Dispatches what is queued; true when a WM_QUIT was among it.
bool DrainAndSawQuit() {
    bool quit = false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            continue;
        }
        ::DispatchMessageW(&msg);
    }
    return quit;
}

class COwner : public CWindowImpl<COwner> {
public:
    int feedbackCommands = 0;
    BEGIN_MSG_MAP(COwner)
        COMMAND_ID_HANDLER(CFileCheckFailedDlg::kFeedbackCommand, OnFeedback)
    END_MSG_MAP()

    void CreateOwner() {
        RECT rect = {0, 0, 680, 420};
        Create(nullptr, rect, L"owner", WS_POPUP);
    }

private:
    LRESULT OnFeedback(WORD, WORD, HWND, BOOL&) {
        ++feedbackCommands;
        return 0;
    }
};

void Click(CPromptBase& prompt, UINT id) { prompt.SendMessage(WM_COMMAND, id, 0); }

}  // namespace

TEST(PromptDlg, ButtonsAnswerZeroOneTwoAndEndTheLoop) {
    DrainAndSawQuit();
    const struct {
        UINT id;
        int result;
    } cases[] = {{kPromptCloseBoxId, 0}, {kPromptSecondButtonId, 1}, {kPromptExtraButtonId, 2}};
    for (const auto& c : cases) {
        CDirErrDlg prompt;
        ASSERT_TRUE(prompt.CreatePrompt(nullptr));
        EXPECT_EQ(prompt.GetResult(), kPromptUnanswered);
        Click(prompt, c.id);
        EXPECT_EQ(prompt.GetResult(), c.result) << c.id;
        EXPECT_FALSE(prompt.IsWindow()) << c.id;
        EXPECT_TRUE(DrainAndSawQuit()) << c.id;
    }
}

TEST(PromptDlg, PromptsWithoutExtraButtonStillEndOnTheirButtons) {
    CQuilletInstalledDlg prompt;
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    Click(prompt, kPromptSecondButtonId);
    EXPECT_EQ(prompt.GetResult(), 1);
    EXPECT_TRUE(DrainAndSawQuit());
}

TEST(PromptDlg, WmCloseEndsTheModalLoopAsClosed) {
    COwner owner;
    owner.CreateOwner();
    CDownLoadFailedDlg prompt;
    // Something outside closes the prompt while the caller waits in its loop.
    struct Closer {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            HWND prompt = ::FindWindowExW(nullptr, nullptr, nullptr, L"close me");
            ::PostMessageW(prompt, WM_CLOSE, 0, 0);
        }
    };
    ::SetTimer(nullptr, 0, 200, &Closer::Fire);
    int result = RunPromptModal(prompt, owner.m_hWnd, L"close me");
    EXPECT_EQ(result, kPromptClosed);
    EXPECT_FALSE(prompt.IsWindow());
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
}

TEST(FileCheckFailedDlg, FeedbackLinkAsksTheOwnerAndStaysOpen) {
    DrainAndSawQuit();
    COwner owner;
    owner.CreateOwner();
    CFileCheckFailedDlg prompt;
    ASSERT_TRUE(prompt.CreatePrompt(owner.m_hWnd));
    Click(prompt, kPromptFeedbackLinkId);
    EXPECT_EQ(prompt.GetResult(), kPromptFeedbackLink);
    EXPECT_EQ(owner.feedbackCommands, 1);
    EXPECT_TRUE(prompt.IsWindow());
    EXPECT_FALSE(DrainAndSawQuit());
    // A later button overwrites the answer.
    Click(prompt, kPromptSecondButtonId);
    EXPECT_EQ(prompt.GetResult(), kPromptSecondButton);
    EXPECT_TRUE(DrainAndSawQuit());
}

TEST(InitialFailedDlg, RetryReplacesTheMainWindowWithoutEndingTheLoop) {
    DrainAndSawQuit();
    int mainWindowsMade = 0;
    CInitialFailedDlg prompt([&] { ++mainWindowsMade; });
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    Click(prompt, kPromptExtraButtonId);
    EXPECT_EQ(mainWindowsMade, 1);
    EXPECT_EQ(prompt.GetResult(), kPromptExtraButton);
    EXPECT_FALSE(prompt.IsWindow());
    EXPECT_FALSE(DrainAndSawQuit());

    CInitialFailedDlg second([&] { ++mainWindowsMade; });
    ASSERT_TRUE(second.CreatePrompt(nullptr));
    Click(second, kPromptCloseBoxId);
    EXPECT_EQ(mainWindowsMade, 1);
    EXPECT_EQ(second.GetResult(), kPromptClosed);
    EXPECT_TRUE(DrainAndSawQuit());
}

TEST(InitialFailedDlg, ClosingItEndsTheLoop) {
    DrainAndSawQuit();
    CInitialFailedDlg prompt([] {});
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    prompt.SendMessage(WM_CLOSE);
    EXPECT_FALSE(prompt.IsWindow());
    EXPECT_TRUE(DrainAndSawQuit());
}

TEST(OlderVersionDlg, EmptyLinkFallsBackToTheFeedbackForum) {
    COlderVersionDlg prompt;
    EXPECT_EQ(prompt.LinkToOpen(), FeedbackPageUrl());
    prompt.SetLink(L"http://www.vexayoral.com/downloader.exe");
    EXPECT_EQ(prompt.LinkToOpen(), L"http://www.vexayoral.com/downloader.exe");
}

TEST(PromptDownloadQuilletDlg, SetTipKeepsTheFirstPartAndFortyCharacters) {
    CPromptDownloadQuilletDlg prompt;
    prompt.SetTip(L"装上更安全￥第二段￥第三段");
    EXPECT_EQ(prompt.GetMessageText(), L"装上更安全");
    std::wstring fifty;
    for (int i = 0; i < 50; ++i) fifty += static_cast<wchar_t>(L'0' + i % 10);
    prompt.SetTip(fifty);
    EXPECT_EQ(prompt.GetMessageText(), fifty.substr(0, 40));
    prompt.SetTip(L"");
    EXPECT_EQ(prompt.GetMessageText(),
              L"Vexa游戏Quillet是专门为游戏打造的防木马盗号神器，您确认放弃安装吗？");
}

TEST(InstallGameDlg, GameNameIsPartOfThePlainMessage) {
    EXPECT_EQ(CInstallGameDlg::MessageFor(L"星辰{&#a=cmd:calc}"),
              L"星辰{&#a=cmd:calc}下载完成，是否立即安装？");
}

// Renders the prompt and finds the rows where the message's light pixels are.
class MessageRows : public ::testing::Test {
protected:
    std::vector<int> LitRows(CPromptBase& prompt) {
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, CPromptBase::kWidth, CPromptBase::kHeight);
        ::ReleaseDC(nullptr, screen);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        prompt.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        std::vector<int> rows;
        for (int y = 50; y < 146; ++y) {  // the message band between header and buttons
            for (int x = 84; x < 84 + 235; ++x) {
                COLORREF c = ::GetPixel(dc, x, y);
                if (GetRValue(c) > 150 && GetGValue(c) > 150 && GetBValue(c) > 150) {
                    rows.push_back(y);
                    break;
                }
            }
        }
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        return rows;
    }
};

TEST_F(MessageRows, LongMessageIsDrawnOnTwoLinesAroundTheMiddle) {
    CDirOpenFailedDlg prompt;
    prompt.SetMessage(std::wstring(25, L'国'));  // 25 characters of 12 pixels: 300 pixels
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    std::vector<int> rows = LitRows(prompt);
    ASSERT_FALSE(rows.empty());
    int first = rows.front();
    int last = rows.back();
    // Two lines of 17 pixels centred on the middle of 201: text from about 83 to 117.
    EXPECT_GE(first, 80);
    EXPECT_LE(last, 120);
    EXPECT_GT(last - first, 17);  // more than one line
    EXPECT_NEAR((first + last) / 2, 100, 6);
    prompt.DestroyWindow();
    DrainAndSawQuit();
}

TEST_F(MessageRows, AmpersandIsDrawnAsACharacter) {
    CInstallGameDlg prompt;
    prompt.SetMessage(L"&");
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    EXPECT_FALSE(LitRows(prompt).empty());
    prompt.DestroyWindow();
    DrainAndSawQuit();
}

TEST_F(MessageRows, EmptyMessageDrawsNoText) {
    CDirOpenFailedDlg prompt;
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    EXPECT_TRUE(LitRows(prompt).empty());
    prompt.DestroyWindow();
    DrainAndSawQuit();
}
