#pragma once
// The prompts: small skinned popups (404 x 201) with the title "提示", a warning sign, a close
// box, a message in a centred column and one or two image buttons. A prompt ends with a
// result code that its caller acts on:
//
//   0  the close box (also a WM_CLOSE from elsewhere)   2  the extra (affirmative) button
//   1  the second button                                3  the feedback link
//   4  not answered
//
// Answering destroys the window and posts WM_QUIT, which ends the caller's nested message
// loop (see RunPromptModal). CPromptBase holds everything; CPromptDlg is the base of the
// family, CInstallGameDlg a separate class with the same look and behaviour.

#include <windows.h>

#include <string>

#include "shell/Window.h"
#include "skin/SomButton4.h"
#include "skin/SomTextWnd.h"
#include "skin/SomWndManager.h"

class CSomBitmap;

enum PromptResult : int {
    kPromptClosed = 0,
    kPromptSecondButton = 1,
    kPromptExtraButton = 2,
    kPromptFeedbackLink = 3,
    kPromptUnanswered = 4,
};

enum PromptElementId : UINT {
    kPromptTitleId = 1,
    kPromptCloseBoxId = 100,
    kPromptSecondButtonId = 101,
    kPromptExtraButtonId = 102,
    kPromptFeedbackLinkId = 103,
};

class CPromptBase : public CWindowImpl<CPromptBase>, public CSomWndManager {
public:
    static constexpr int kWidth = 404;
    static constexpr int kHeight = 201;
    static constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE;

    CPromptBase();
    ~CPromptBase() override = default;

    // A message longer than any prompt can show is cut (see CutPromptMessage).
    void SetMessage(const std::wstring& text);
    const std::wstring& GetMessageText() const { return message_; }
    int GetResult() const { return result_; }

    // Creates the prompt window (0, 0, 404, 201) with the given owner and title.
    HWND CreatePrompt(HWND owner, const wchar_t* title = nullptr);

    BEGIN_MSG_MAP(CPromptBase)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_COMMAND, OnCommandMessage)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        CHAIN_PROCESS_MESSAGE(static_cast<CSomWndManager&>(*this))
    END_MSG_MAP()

    // CSomWndManager: the skin, the warning sign and the message.
    void DrawBackground(HDC hdc, const RECT* rect) override;

protected:
    // The buttons' ids: 100 -> result 0, 101 -> result 1; every id then goes to
    // OnExtraButton, and the prompt's loop ends (unless EndsLoopOn says otherwise).
    virtual void OnCommand(UINT id);
    virtual void OnExtraButton(UINT id) {}
    virtual void CreateExtraButtons() {}
    virtual void ApplyWindowShape();
    virtual void DrawMessage(HDC hdc);
    // Whether answering with `id` ends the caller's message loop.
    virtual bool EndsLoopOn(UINT id) const { return true; }

    // Helpers for the subclasses.
    void SetResult(int result) { result_ = result; }
    ISomWndManager* Manager() { return static_cast<ISomWndManager*>(this); }
    // Makes `button` the extra button (id 102) at (222, 158) with a shared image.
    void CreateExtraButton(CSomButton4& button, UINT imageId);

    CMySomButton4& SecondButton() { return secondButton_; }

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommandMessage(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&) { return HTCLIENT; }
    LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);

    std::wstring message_;
    CSomBitmap* background_;  // shared, not owned
    CSomButton4 closeBox_;
    CMySomButton4 secondButton_;
    int result_ = kPromptUnanswered;
    CSomTextWnd title_;
};

// The base of the prompt family.
class CPromptDlg : public CPromptBase {
public:
    // Only CFileCheckFailedDlg reads it: several files failed the check.
    void SetMultiFileForm(BOOL multiFile) { multiFileForm_ = multiFile; }

protected:
    BOOL multiFileForm_ = FALSE;
};
