#include "skin/SkinResources.h"

#include <cwchar>

namespace {

struct FontSpec {
    LONG height;
    LONG weight;  // 0: that of DEFAULT_GUI_FONT
    BYTE underline;
    BYTE italic;
};

constexpr FontSpec kFontTable[CSkinResources::kFontCount] = {
    {11, 0, 0, 0},   {11, 700, 0, 0}, {12, 400, 0, 0}, {12, 700, 0, 0},
    {13, 400, 0, 0}, {13, 700, 0, 0}, {16, 400, 0, 0}, {16, 700, 0, 0},
    {13, 700, 0, 0}, {11, 400, 1, 0}, {14, 700, 0, 0}, {14, 400, 0, 0},
    {12, 600, 0, 0}, {20, 700, 0, 0}, {12, 400, 1, 0}, {28, 700, 0, 1},
};

constexpr int kItalicHeadingFont = 15;

DWORD MajorWindowsVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
}

}  // namespace

BOOL CSkinResources::IsWindows6OrLater() { return MajorWindowsVersion() >= 6; }

const wchar_t* CSkinResources::UiFaceName() {
    return IsWindows6OrLater() ? L"微软雅黑" : L"Tahoma";
}

LOGFONTW CSkinResources::DefaultGuiLogFont(const wchar_t* face, LONG height) {
    LOGFONTW font = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    font.lfHeight = height;
    font.lfWidth = 0;
    return font;
}

CSkinResources::CSkinResources() {
    const wchar_t* face = UiFaceName();
    for (int i = 0; i < kFontCount; ++i) {
        const FontSpec& spec = kFontTable[i];
        LOGFONTW font =
            DefaultGuiLogFont(i == kItalicHeadingFont ? L"微软雅黑" : face, -spec.height);
        if (spec.weight) font.lfWeight = spec.weight;
        font.lfUnderline = spec.underline;
        font.lfItalic = spec.italic;
        fonts_[i].Reset(::CreateFontIndirectW(&font));
    }
}

HFONT CSkinResources::Font(int index) const {
    if (index < 0 || index >= kFontCount) index = kDefaultFont;
    return fonts_[index].Get();
}
