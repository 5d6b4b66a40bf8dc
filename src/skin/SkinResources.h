#pragma once
// Shared skin drawing resources, one per process (g_SkinResources), made before any window:
// a memory DC compatible with the screen (for measuring text and drawing frames) and the
// table of 16 fonts the skin's elements and windows use.
//
// Font table (character heights in pixels; weight 400 unless given), face "微软雅黑"
// ("Tahoma" before Windows 6), from DEFAULT_GUI_FONT:
//   0: 11, the weight of DEFAULT_GUI_FONT   1: 11 bold     2: 12 (the default text font)
//   3: 12 bold    4: 13    5: 13 bold    6: 16    7: 16 bold    8: 13 bold
//   9: 11 underlined    10: 14 bold    11: 14    12: 12 weight 600    13: 20 bold
//   14: 12 underlined   15: 28 bold italic, always "微软雅黑"

#include <windows.h>

#include "base/GdiHandles.h"

class CSkinResources {
public:
    static constexpr int kFontCount = 16;
    static constexpr int kDefaultFont = 2;

    CSkinResources();
    CSkinResources(const CSkinResources&) = delete;
    CSkinResources& operator=(const CSkinResources&) = delete;

    HDC GetScratchDC() const { return scratch_.Get(); }
    // Entry `index` of the font table; an index outside it gives the default text font.
    HFONT Font(int index) const;

    // Windows 6 (Vista) or later.
    static BOOL IsWindows6OrLater();
    // The face of the program's user-interface fonts on this Windows version.
    static const wchar_t* UiFaceName();
    // DEFAULT_GUI_FONT's description with another face and height.
    static LOGFONTW DefaultGuiLogFont(const wchar_t* face, LONG height);

private:
    CMemoryDC scratch_;
    CFontHandle fonts_[kFontCount];
};
