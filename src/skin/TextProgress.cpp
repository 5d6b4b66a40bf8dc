#include "skin/TextProgress.h"

#include <cwchar>

#include "skin/SkinResources.h"
#include "skin/SkinText.h"

namespace {

constexpr COLORREF kTextColour = 0xFFFFFF;

HFONT MakeFont(const wchar_t* face, LONG height, LONG weight, BYTE underline) {
    LOGFONTW font = CSkinResources::DefaultGuiLogFont(face, height);
    if (weight) font.lfWeight = weight;
    font.lfUnderline = underline;
    return ::CreateFontIndirectW(&font);
}

}  // namespace

CTextProgress::CTextProgress() {
    const wchar_t* heading = CSkinResources::IsWindows6OrLater() ? L"微软雅黑" : L"宋体";
    fonts_[0].Reset(MakeFont(L"宋体", -12, 0, 0));
    fonts_[1].Reset(MakeFont(L"宋体", -13, 0, 1));
    fonts_[2].Reset(MakeFont(L"宋体", -12, 700, 1));
    fonts_[3].Reset(MakeFont(heading, -13, 700, 0));
}

void CTextProgress::SetLabel(const std::wstring& label) {
    label_ = label;
    Redraw();
}

void CTextProgress::DrawPercentText(HDC hdc) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d%%", position_);
    DrawSkinText(hdc, GetWidth() - 32, 3, text, fonts_[0].Get(), kTextColour);
    DrawSkinText(hdc, 10, 3, label_, fonts_[0].Get(), kTextColour);
}
