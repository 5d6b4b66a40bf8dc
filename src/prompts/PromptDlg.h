#pragma once
// The prompts: small skinned popups (404 x 201) with the title "提示", a warning sign, a close
// box, a message in a centred column and one or two image buttons. A prompt ends with a
// result code that its caller acts on:
//
//   0  the close box (also a WM_CLOSE from elsewhere)   2  the extra (affirmative) button
//   1  the second button                                3  the feedback link
//   4  not answered
//
// Answering destroys the window and ends the loop that runs the prompt: a modal loop
// (RunPromptModal) ends on its own prompt's answer only, so prompts opened over one another
// end in order; a prompt shown on its own posts WM_QUIT for the thread's loop instead. CPromptBase holds everything; CPromptDlg is the base of the
// family, CInstallGameDlg a separate class with the same look and behaviour.

#include <windows.h>

#include <string>

#include "prompts/PromptResult.h"
#include "shell/Window.h"
#include "skin/SkinnedWindow.h"
#include "skin/SomButton4.h"
#include "skin/SomTextWnd.h"

class CSomBitmap;

enum PromptElementId : UINT {
    kPromptTitleId = 1,
    kPromptCloseBoxId = 100,
    kPromptSecondButtonId = 101,
    kPromptExtraButtonId = 102,
    kPromptFeedbackLinkId = 103,
};

class CPromptBase : public CWindowImpl<CPromptBase>, public CSkinnedWindow {
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
    // Whether the prompt's loop should end: it was answered (by an answer that ends the
    // loop), closed, or its window was destroyed from outside.
    bool IsEnded() const { return ended_; }
    // While a modal loop runs the prompt, answering wakes that loop instead of posting
    // WM_QUIT.
    void SetModal(bool modal) { modal_ = modal; }

    // Creates the prompt window (0, 0, 404, 201) with the given owner and title.
    HWND CreatePrompt(HWND owner, const wchar_t* title = nullptr);
    // Made hidden, for a caller that places it and shows it itself.
    HWND CreateHiddenPrompt(HWND owner, const wchar_t* title);

    BEGIN_MSG_MAP(CPromptBase)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_COMMAND, OnCommandMessage)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
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
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    void EndLoop();

    std::wstring message_;
    CSomBitmap* background_;  // shared, not owned
    CSomButton4 closeBox_;
    CMySomButton4 secondButton_;
    int result_ = kPromptUnanswered;
    bool ended_ = false;
    bool modal_ = false;
    CSomTextWnd title_;
};

// The base of the prompt family.
class CPromptDlg : public CPromptBase {
public:
    // Only CFileCheckFailedDlg reads it: several files failed the check.
    void SetMultiFileForm(BOOL multiFile) { multiFileForm_ = multiFile; }
    bool IsMultiFileForm() const { return multiFileForm_ != FALSE; }

protected:
    BOOL multiFileForm_ = FALSE;
};
