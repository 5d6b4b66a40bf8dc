#include "prompts/PromptDownloadQuilletDlg.h"

#include "prompts/PromptSkin.h"
#include "prompts/PromptText.h"

namespace {

constexpr COLORREF kLabelColour = RGB(0xFF, 0xFF, 0xFF);

CFontHandle CreateButtonFont() {
    LOGFONTW font = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    lstrcpynW(font.lfFaceName, L"黑体", LF_FACESIZE);
    font.lfHeight = -14;
    font.lfWeight = FW_BOLD;
    return CFontHandle(::CreateFontIndirectW(&font));
}

}  // namespace

CPromptDownloadQuilletDlg::CPromptDownloadQuilletDlg() : font_(CreateButtonFont()) {}

void CPromptDownloadQuilletDlg::SetTip(const std::wstring& text) {
    SetMessage(MakeQuilletTip(text));
}

void CPromptDownloadQuilletDlg::CreateExtraButtons() {
    CreateExtraButton(extraButton_, kPromptInstallAndTryImage);
    SecondButton().SetBackground(PromptSharedBitmap(kPromptInstallNextTimeImage));
    // Both labels stay empty (the words are in the images); font and colour are set anyway
    // so the buttons are ready for a label.
    for (CMySomButton4* button : {&SecondButton(), &extraButton_}) {
        button->SetLabelFont(font_.Get());
        button->SetLabelColor(kLabelColour);
    }
}

void CPromptDownloadQuilletDlg::OnExtraButton(UINT id) {
    if (id != kPromptExtraButtonId) return;
    SetResult(kPromptExtraButton);
    DestroyWindow();
}
