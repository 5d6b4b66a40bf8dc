#include "skin/SkinText.h"

#include "base/GdiHandles.h"
#include "skin/SkinResourcesInstance.h"

SIZE MeasureSkinText(const std::wstring& text, HFONT font) {
    SIZE size = {0, 0};
    HDC dc = g_SkinResources.GetScratchDC();
    if (!dc) return size;
    CSelectObject select(dc, font);
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void DrawSkinText(HDC hdc, int x, int y, const std::wstring& text, HFONT font, COLORREF colour) {
    CTextStyle style(hdc, TRANSPARENT, colour);
    CSelectObject select(hdc, font);
    ::TextOutW(hdc, x, y, text.c_str(), static_cast<int>(text.size()));
}
