#pragma once
// What the download window shows: its background, fonts, the elements with their texts,
// colours and places, and the page area. The workflow tells it what to show through the
// Show... operations and reads the companion box; it decides nothing.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/GdiHandles.h"
#include "skin/SomBitmap.h"
#include "skin/SomButton4.h"
#include "skin/SomCheckBox.h"
#include "skin/SomTextWnd.h"
#include "skin/TextProgress.h"

class CDefaultWebWnd;
class CDownloaderConfig;
class CSomHtmlView;
class ISomWndManager;

class CDownloadWindowView {
public:
    // `backgroundPath`: a downloaded background, used when it decodes as a PNG of the
    // window's size; otherwise (and when empty) the built-in one.
    CDownloadWindowView(const std::wstring& backgroundPath,
                        std::function<void(const std::wstring&)> trace);
    ~CDownloadWindowView();
    CDownloadWindowView(const CDownloadWindowView&) = delete;
    CDownloadWindowView& operator=(const CDownloadWindowView&) = delete;

    // Builds every element on `manager`, the page area in `host`: the configured page when
    // `online`, else the default picture. Shows the download button.
    void Create(ISomWndManager* manager, HWND host, const CDownloaderConfig& config,
                bool companionTicked, bool online, unsigned pageTimeLimitMs);
    void DrawBackground(HDC hdc, const RECT* rect) const;

    void ShowButtonMode(int mode);
    int ButtonMode() const { return buttonMode_; }
    void ShowPercent(unsigned percent);
    void ShowSizes(uint64_t done, uint64_t total);
    void ShowSpeed(uint64_t bytesPerSecond);
    void ShowTargetFolder(const std::wstring& folder);
    // "打开" once a folder is chosen for a download, "更改" before.
    void ShowFolderLinks(bool folderChosen);
    void ShowPage(bool defaultPage);

    bool CompanionBoxTicked() const { return companionBox_.GetCheck() != FALSE; }
    void SetCompanionBox(bool ticked) { companionBox_.SetCheck(ticked ? TRUE : FALSE); }
    void EnableCompanionBox(bool enabled) { companionBox_.Enable(enabled ? TRUE : FALSE); }

private:
    void CreateFonts();
    void CreateTitleButtons(ISomWndManager* manager);
    void CreateActionButtons(ISomWndManager* manager);
    void CreateTexts(ISomWndManager* manager, const CDownloaderConfig& config);
    void CreateCompanionElements(ISomWndManager* manager, const CDownloaderConfig& config);
    void CreateLabels(ISomWndManager* manager);
    void CreatePageArea(const std::wstring& link, bool online, unsigned pageTimeLimitMs);
    void Trace(const std::wstring& line) const;

    std::function<void(const std::wstring&)> trace_;
    HWND host_ = nullptr;
    int buttonMode_ = 0;

    // Fonts (owned).
    CFontHandle textFont_;
    CFontHandle linkFont_;
    CFontHandle boldLinkFont_;
    CFontHandle titleFont_;

    // Images (owned).
    std::unique_ptr<CSomBitmap> background_;
    CSomBitmap checkImage_{110, 9};
    CSomBitmap downloadImage_{114, 3};
    CSomBitmap resumeImage_{106, 3};
    CSomBitmap pauseImage_{107, 3};
    CSomBitmap installImage_{117, 3};
    CSomBitmap redownloadImage_{118, 3};

    // Elements.
    CSomButton4 closeButton_;
    CSomButton4 minimizeButton_;
    CSomButton4 feedbackButton_;
    CSomButton4 downloadButton_;
    CSomButton4 resumeButton_;
    CSomButton4 pauseButton_;
    CSomButton4 installButton_;
    CSomButton4 redownloadButton_;
    CTextProgress progress_;
    CSomTextWnd title_;
    CSomTextWnd promotion_;
    CSomTextWnd openLink_;
    CSomTextWnd changeLink_;
    CSomCheckBox companionBox_{&checkImage_, FALSE};
    CSomTextWnd companionLabel_;
    CSomTextWnd versionText_;
    CSomTextWnd pathText_;
    CSomTextWnd progressLabel_;
    CSomTextWnd pathLabel_;
    CSomTextWnd speedText_;
    std::unique_ptr<CSomHtmlView> pageView_;
    std::unique_ptr<CDefaultWebWnd> defaultPage_;
};
