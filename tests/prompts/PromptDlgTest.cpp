// The prompts' answers, their effect on the caller's loop, and what they draw.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "config/DeploymentValuesInstance.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/InitialFailedDlg.h"
#include "prompts/InstallGameDlg.h"
#include "prompts/OlderVersionDlg.h"
#include "prompts/PromptDownloadQuilletDlg.h"
#include "prompts/PromptFamily.h"
#include "prompts/PromptRunner.h"
#include "prompts/PromptSkin.h"
#include "prompts/PromptText.h"

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

// Where every element of each prompt sits and which image each of its buttons shows.
TEST(PromptDlg, EveryPromptHasItsElementsAndImagesInPlace) {
    const struct {
        const char* name;
        std::function<std::unique_ptr<CPromptBase>()> make;
        UINT secondImage;
        UINT extraImage;  // 0: no extra button
    } cases[] = {
        {"direrr", [] { return std::make_unique<CDirErrDlg>(); }, 126, 127},
        {"damaged", [] { return std::make_unique<CFileDamagedDlg>(); }, 126, 129},
        {"older", [] { return std::make_unique<COlderVersionDlg>(); }, 126, 128},
        {"initfailed", [] { return std::make_unique<CInitialFailedDlg>(); }, 126, 130},
        {"quillet", [] { return std::make_unique<CPromptDownloadQuilletDlg>(); }, 131, 132},
        {"dlfailed", [] { return std::make_unique<CDownLoadFailedDlg>(); }, 126, 136},
        {"fileerr", [] { return std::make_unique<CFileErrDlg>(); }, 126, 134},
        {"checkfailed", [] { return std::make_unique<CFileCheckFailedDlg>(); }, 126, 134},
        {"checkfailed-multi",
         [] {
             auto prompt = std::make_unique<CFileCheckFailedDlg>();
             prompt->SetMultiFileForm(TRUE);
             return std::unique_ptr<CPromptBase>(std::move(prompt));
         },
         126, 129},
        {"install", [] { return std::make_unique<CInstallGameDlg>(); }, 126, 135},
        {"installed", [] { return std::make_unique<CQuilletInstalledDlg>(); }, 126, 0},
        {"diropen", [] { return std::make_unique<CDirOpenFailedDlg>(); }, 126, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CPromptBase> prompt = c.make();
        ASSERT_TRUE(prompt->CreatePrompt(nullptr));
        auto element = [&](UINT id) -> CSomWnd* {
            for (CSomWnd* e : prompt->GetElements()) {
                if (e->GetId() == id) return e;
            }
            return nullptr;
        };
        auto button = [&](UINT id) { return dynamic_cast<CSomButton4*>(element(id)); };
        auto expectRect = [&](UINT id, RECT wanted) {
            CSomWnd* e = element(id);
            ASSERT_NE(e, nullptr) << id;
            EXPECT_TRUE(::EqualRect(&e->Rect(), &wanted))
                << id << ": " << e->Rect().left << "," << e->Rect().top << " "
                << e->Rect().right << "," << e->Rect().bottom;
        };
        expectRect(kPromptCloseBoxId, {369, 16, 369 + 19, 16 + 20});
        expectRect(kPromptSecondButtonId, {311, 158, 311 + 78, 158 + 30});
        ASSERT_NE(element(kPromptTitleId), nullptr);
        EXPECT_EQ(element(kPromptTitleId)->Rect().left, 42);
        EXPECT_EQ(element(kPromptTitleId)->Rect().top, 18);
        EXPECT_EQ(button(kPromptCloseBoxId)->GetBackground(), PromptSharedBitmap(102));
        EXPECT_EQ(button(kPromptSecondButtonId)->GetBackground(),
                  PromptSharedBitmap(c.secondImage));
        if (c.extraImage) {
            expectRect(kPromptExtraButtonId, {222, 158, 222 + 78, 158 + 30});
            ASSERT_NE(button(kPromptExtraButtonId), nullptr);
            EXPECT_EQ(button(kPromptExtraButtonId)->GetBackground(),
                      PromptSharedBitmap(c.extraImage));
        } else {
            EXPECT_EQ(element(kPromptExtraButtonId), nullptr);
        }
        CSomWnd* link = element(kPromptFeedbackLinkId);
        EXPECT_EQ(link != nullptr, std::string(c.name).rfind("checkfailed", 0) == 0);
        if (link) {
            EXPECT_EQ(link->Rect().left, 266);
            EXPECT_EQ(link->Rect().top, 91);
        }
        // The octagon: the 9-pixel corners are cut off, the edges between them are not.
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(::GetWindowRgn(prompt->m_hWnd, region), ERROR);
        EXPECT_FALSE(::PtInRegion(region, 2, 2));
        EXPECT_FALSE(::PtInRegion(region, 401, 198));
        EXPECT_TRUE(::PtInRegion(region, 10, 1));
        EXPECT_TRUE(::PtInRegion(region, 1, 10));
        EXPECT_TRUE(::PtInRegion(region, 202, 100));
        ::DeleteObject(region);
        prompt->DestroyWindow();
        DrainAndSawQuit();
    }
}

// A press drags the prompt from any point that no button or link takes: the background,
// the title and the message; a press on a button or the link is theirs alone.
TEST(PromptDlg, PressesOutsideButtonsAndLinksDragThePrompt) {
    DrainAndSawQuit();
    CFileCheckFailedDlg prompt;
    prompt.SetMessage(L"文件安全校验失败，更多帮助，请");
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    auto pressStartsDrag = [&](int x, int y) {
        prompt.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        MSG msg;
        bool drag = ::PeekMessageW(&msg, prompt.m_hWnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN,
                                   PM_REMOVE) != 0;
        prompt.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(395, 100));  // released off the buttons
        return drag;
    };
    EXPECT_TRUE(pressStartsDrag(200, 40));   // background
    EXPECT_TRUE(pressStartsDrag(48, 24));    // the title "提示"
    EXPECT_TRUE(pressStartsDrag(150, 100));  // the message
    EXPECT_FALSE(pressStartsDrag(378, 26));  // close box
    EXPECT_FALSE(pressStartsDrag(350, 173));  // second button
    EXPECT_FALSE(pressStartsDrag(261, 173));  // extra button
    EXPECT_FALSE(pressStartsDrag(275, 98));   // the feedback link
    EXPECT_TRUE(prompt.IsWindow());
    EXPECT_EQ(prompt.GetResult(), kPromptUnanswered);
    prompt.DestroyWindow();
    DrainAndSawQuit();
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

// A game name of millions of characters (a hostile configuration) still paints at once,
// filling the message band, instead of being laid out character by character on every paint.
TEST_F(MessageRows, HugeMessageIsCutToWhatAPromptCanShow) {
    CInstallGameDlg prompt;
    prompt.SetMessage(CInstallGameDlg::MessageFor(std::wstring(8000000, L'国')));
    EXPECT_EQ(prompt.GetMessageText().size(), kPromptMessageMaxChars);
    ASSERT_TRUE(prompt.CreatePrompt(nullptr));
    std::vector<int> rows = LitRows(prompt);
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.front(), 55);  // text from the top of the band...
    EXPECT_GE(rows.back(), 125);  // ...to near its bottom
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
