#pragma once
// What the prompts take from the shared skin set: images by resource id, fonts of the font
// table, and the colours of this skin.

#include <windows.h>

class CSomBitmap;

enum PromptImageId : UINT {
    kPromptCloseImage = 102,
    kPromptWarningImage = 112,
    kPromptBackgroundImage = 125,
    kPromptCloseButtonImage = 126,      // 关闭
    kPromptChangeFolderImage = 127,     // 更改目录
    kPromptDownloadImage = 128,         // 下载
    kPromptDownloadAgainImage = 129,    // 重新下载
    kPromptRetryImage = 130,            // 重试
    kPromptInstallNextTimeImage = 131,  // 下次再装
    kPromptInstallAndTryImage = 132,    // 装上试试
    kPromptContinueImage = 134,         // 继续
    kPromptInstallNowImage = 135,       // 立即安装
    kPromptFeedbackImage = 136,         // 反馈
};

enum PromptFontIndex : int {
    kPromptTitleFont = 3,  // 12 pixels, bold
    kPromptLinkFont = 14,  // 12 pixels, underlined
};

// Light grey-white: the message on the dark prompt background.
constexpr COLORREF kPromptMessageColour = RGB(0xE4, 0xE9, 0xF0);

// The shared bitmap of that id (null when the shared set has none).
CSomBitmap* PromptSharedBitmap(UINT id);
// Entry `index` of the skin's font table.
HFONT PromptSkinFont(int index);
