#include "prompts/FileCheckFailedDlg.h"

#include <cwchar>

namespace {

constexpr POINT kFeedbackLinkAt = {266, 91};
constexpr COLORREF kLinkColour = 0xFE8034;  // COLORREF: the skin's link blue
constexpr COLORREF kLinkHoverColour = 0x2B85FF;

}  // namespace

void CFileCheckFailedDlg::CreateExtraButtons() {
    CExtraButtonPromptDlg::CreateExtraButtons();
    wchar_t markup[128];
    std::swprintf(markup, 128, L"{&#a=button:%d}{&#acolor=%d}点击反馈", kPromptFeedbackLinkId,
                  static_cast<int>(kLinkColour));
    feedbackLink_.Create(Manager(), kPromptFeedbackLinkId, CSomWnd::kVisible | CSomWnd::kAutoSize);
    feedbackLink_.SetFont(PromptSkinFont(kPromptLinkFont));
    feedbackLink_.SetLinkColors(kLinkColour, kLinkHoverColour);
    feedbackLink_.SetTextColor(kLinkColour);
    feedbackLink_.SetText(markup);
    feedbackLink_.SetPos(kFeedbackLinkAt.x, kFeedbackLinkAt.y);
}

void CFileCheckFailedDlg::OnCommand(UINT id) {
    if (id == kPromptFeedbackLinkId) {
        SetResult(kPromptFeedbackLink);
        ::SendMessageW(GetParent(), WM_COMMAND, kFeedbackCommand, 0);
        return;  // the prompt stays open
    }
    CExtraButtonPromptDlg::OnCommand(id);
}
