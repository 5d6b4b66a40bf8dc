#include "prompts/PromptDlg.h"

#include "base/GdiHandles.h"
#include "prompts/PromptSkin.h"
#include "prompts/PromptText.h"
#include "skin/SomBitmap.h"

namespace {

constexpr int kChamfer = 9;
constexpr POINT kCloseBoxAt = {369, 16};
constexpr POINT kSecondButtonAt = {311, 158};
constexpr POINT kExtraButtonAt = {222, 158};
constexpr POINT kTitleAt = {42, 18};
constexpr POINT kWarningSignAt = {14, 14};
constexpr DWORD kElementStyle = CSomWnd::kVisible | CSomWnd::kAutoSize;

// The message font: the GUI font with the face "宋体" at 12 pixels, made for one drawing.
CFontHandle CreateMessageFont() {
    LOGFONTW font = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    lstrcpynW(font.lfFaceName, L"宋体", LF_FACESIZE);
    font.lfHeight = -12;
    return CFontHandle(::CreateFontIndirectW(&font));
}

SIZE MeasureText(HDC hdc, const std::wstring& text) {
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

}  // namespace

CPromptBase::CPromptBase() : background_(PromptSharedBitmap(kPromptBackgroundImage)) {}

void CPromptBase::SetMessage(const std::wstring& text) { message_ = CutPromptMessage(text); }

HWND CPromptBase::CreatePrompt(HWND owner, const wchar_t* title) {
    RECT rect = {0, 0, kWidth, kHeight};
    return Create(owner, rect, title, kStyle);
}

HWND CPromptBase::CreateHiddenPrompt(HWND owner, const wchar_t* title) {
    RECT rect = {0, 0, kWidth, kHeight};
    return Create(owner, rect, title, kStyle & ~WS_VISIBLE);
}

LRESULT CPromptBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    closeBox_.Create(Manager(), kPromptCloseBoxId, kElementStyle);
    closeBox_.SetBackground(PromptSharedBitmap(kPromptCloseImage));
    closeBox_.SetPos(kCloseBoxAt.x, kCloseBoxAt.y);

    secondButton_.Create(Manager(), kPromptSecondButtonId, kElementStyle);
    secondButton_.SetBackground(PromptSharedBitmap(kPromptCloseButtonImage));
    secondButton_.SetPos(kSecondButtonAt.x, kSecondButtonAt.y);

    title_.Create(Manager(), kPromptTitleId, kElementStyle);
    title_.SetFont(PromptSkinFont(kPromptTitleFont));
    title_.SetText(L"{&#color=0xffffff}提示");
    title_.SetPos(kTitleAt.x, kTitleAt.y);

    CreateExtraButtons();
    ApplyWindowShape();
    return 0;
}

void CPromptBase::CreateExtraButton(CSomButton4& button, UINT imageId) {
    button.Create(Manager(), kPromptExtraButtonId, kElementStyle);
    button.SetBackground(PromptSharedBitmap(imageId));
    button.SetPos(kExtraButtonAt.x, kExtraButtonAt.y);
}

void CPromptBase::ApplyWindowShape() {
    RECT client = {};
    GetClientRect(&client);
    const int w = client.right;
    const int h = client.bottom;
    const POINT octagon[] = {{kChamfer, 0},     {w - kChamfer, 0}, {w, kChamfer},
                             {w, h - kChamfer}, {w - kChamfer, h}, {kChamfer, h},
                             {0, h - kChamfer}, {0, kChamfer}};
    ApplyShape(m_hWnd, octagon, 8);
}

LRESULT CPromptBase::OnCommandMessage(UINT, WPARAM wParam, LPARAM, BOOL&) {
    OnCommand(LOWORD(wParam));
    return 0;
}

void CPromptBase::OnCommand(UINT id) {
    if (id == kPromptCloseBoxId) {
        DestroyWindow();
        result_ = kPromptClosed;
    } else if (id == kPromptSecondButtonId) {
        DestroyWindow();
        result_ = kPromptSecondButton;
    }
    OnExtraButton(id);
    if (EndsLoopOn(id)) EndLoop();
}

void CPromptBase::EndLoop() {
    ended_ = true;
    // A modal loop checks its prompt after every message; this one wakes it when the answer
    // came from a message it does not see (one sent from another thread).
    if (modal_) {
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    } else {
        ::PostQuitMessage(0);
    }
}

LRESULT CPromptBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    // Destroyed without an answer (its owner went away): its loop has nothing to wait for.
    if (result_ == kPromptUnanswered) ended_ = true;
    handled = FALSE;
    return 0;
}

LRESULT CPromptBase::OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    // The prompt has no caption: any point that no element takes drags it. The elements get
    // the press first; a button or link that takes it keeps it, because a window move started
    // under it would take the button release (and the quit message the answer posts) into the
    // move's own loop. The title and the message are no such element: they drag.
    handled = TRUE;  // the elements had it already
    return PressOrDrag(m_hWnd, msg, wParam, lParam);
}

LRESULT CPromptBase::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    // Closed from outside (Alt+F4, the task list, another window): answer as the close box
    // would, so the caller's loop ends and its window is enabled again.
    result_ = kPromptClosed;
    DestroyWindow();
    EndLoop();
    return 0;
}

void CPromptBase::DrawBackground(HDC hdc, const RECT* rect) {
    if (background_) background_->DrawFrame(hdc, 0, 0, 0);
    if (CSomBitmap* sign = PromptSharedBitmap(kPromptWarningImage)) {
        sign->DrawFrame(hdc, kWarningSignAt.x, kWarningSignAt.y, 0);
    }
    DrawMessage(hdc);
}

void CPromptBase::DrawMessage(HDC hdc) {
    if (message_.empty()) return;
    RECT client = {};
    GetClientRect(&client);
    CFontHandle font = CreateMessageFont();
    CSelectObject selectFont(hdc, font.Get());
    // The skin is dark: the message is drawn light rather than in the DC's default black.
    CTextStyle style(hdc, TRANSPARENT, kPromptMessageColour);

    MessageMetrics metrics;
    metrics.clientWidth = client.right - client.left;
    metrics.clientHeight = client.bottom - client.top;
    SIZE whole = MeasureText(hdc, message_);
    metrics.textWidth = whole.cx;
    metrics.textHeight = whole.cy;
    for (const std::wstring& cell : SplitMessageCells(message_)) {
        metrics.cellWidths.push_back(MeasureText(hdc, cell).cx);
    }
    for (const MessageCell& cell : LayoutPromptMessage(message_, metrics)) {
        RECT box = {cell.left, cell.top, cell.right, cell.bottom};
        // No prefix processing: an "&" in a game name is a character, not a mnemonic mark.
        ::DrawTextW(hdc, cell.text.c_str(), static_cast<int>(cell.text.size()), &box,
                    DT_NOPREFIX);
    }
}
