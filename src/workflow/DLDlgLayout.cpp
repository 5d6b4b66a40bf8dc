// The download window's elements, texts and progress display.
#include <cwchar>

#include "base/GdiHandles.h"
#include "config/DownloaderConfig.h"
#include "prompts/PromptSkin.h"
#include "skin/DefaultWebWnd.h"
#include "skin/MarkupText.h"
#include "skin/SkinResources.h"
#include "skin/SomHtmlView.h"
#include "transfer/NetworkState.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DownloadFigures.h"
#include "workflow/ProgressFormat.h"
#include "workflow/WorkflowState.h"

namespace {

constexpr DWORD kShown = CSomWnd::kVisible | CSomWnd::kAutoSize;
constexpr DWORD kHidden = CSomWnd::kAutoSize;
constexpr COLORREF kLabelColour = 0xECCABA;
constexpr COLORREF kLinkHoverColour = 0x2B85FF;
constexpr COLORREF kOpenLinkColour = 0xFE8034;
constexpr COLORREF kPromotionColour = 0x015CA9;
constexpr COLORREF kPromotionHoverColour = 0x012CA8;
constexpr int kPromotionMaxWidth = 450;
constexpr RECT kPageArea = {20, 56, 660, 301};
constexpr DWORD kPageHostFlags = 0x24009F;
constexpr POINT kActionButtonAt = {520, 319};

enum ElementId : UINT {
    kCompanionBoxId = 7,
    kProgressLabelId = 9,
    kSpeedTextId = 10,
    kPathLabelId = 11,
    kProgressId = 4,
    kTitleId = 5,
    kCloseButtonId = 13,
    kMinimizeButtonId = 14,
    kChangeLinkId = 15,
    kOpenLinkId = 16,
    kFeedbackButtonId = 17,
    kPromotionId = 19,
    kPathTextId = 23,
};

CFontHandle MakeFont(const wchar_t* face, LONG height, LONG weight, bool underline) {
    LOGFONTW font = CSkinResources::DefaultGuiLogFont(face, height);
    if (weight) font.lfWeight = weight;
    font.lfUnderline = underline ? TRUE : FALSE;
    return CFontHandle(::CreateFontIndirectW(&font));
}

std::wstring LinkMarkup(UINT id, COLORREF colour, const std::wstring& escapedText) {
    wchar_t head[64] = {};
    std::swprintf(head, 64, L"{&#a=button:%u}{&#acolor=%lu}", id,
                  static_cast<unsigned long>(colour));
    return head + escapedText;
}

void SetUpLabel(CSomTextWnd& label, ISomWndManager* manager, UINT id, HFONT font, int x, int y,
                DWORD style = kShown) {
    label.Create(manager, id, style);
    label.SetFont(font);
    label.SetTextColor(kLabelColour);
    label.SetPos(x, y);
}

}  // namespace

void CDLDlg::CreateFonts() {
    textFont_ = MakeFont(L"宋体", -12, 0, false);
    linkFont_ = MakeFont(L"宋体", -13, 0, true);
    boldLinkFont_ = MakeFont(L"宋体", -12, FW_BOLD, true);
    titleFont_ =
        MakeFont(CSkinResources::IsWindows6OrLater() ? L"微软雅黑" : L"宋体", -13, FW_BOLD, false);
}

void CDLDlg::CreateElements() {
    CreateTitleButtons();
    CreateActionButtons();
    progress_.Create(this, kProgressId, CSomWnd::kVisible);
    progress_.SetRect(87, 342, 420, 17);
    progress_.SetRange(0, 100);
    progress_.SetPos(0);
    progress_.SetCapWidth(9);
    CreateTexts();
    CreateCompanionElements();
    SetUpLabel(pathText_, this, kPathTextId, textFont_.Get(), 87, 315);
    pathText_.SetMaxWidth(129);
    pathText_.SetText(L"{&#color=0x888888}请点击下载按钮，选择游戏保存目录");
    SetUpLabel(progressLabel_, this, kProgressLabelId, textFont_.Get(), 21, 342);
    progressLabel_.SetText(L"下载进度：");
    SetUpLabel(pathLabel_, this, kPathLabelId, textFont_.Get(), 21, 315);
    pathLabel_.SetText(L"保存路径：");
    SetUpLabel(speedText_, this, kSpeedTextId, textFont_.Get(), 408, 315);
    speedText_.SetText(L"速度：");
    CreatePageArea();
    ShowButtonMode(kModeDownload);
}

void CDLDlg::CreateTitleButtons() {
    struct TitleButton {
        CSomButton4* button;
        UINT id;
        UINT image;
        int x;
    } buttons[] = {{&closeButton_, kCloseButtonId, 102, 643},
                   {&minimizeButton_, kMinimizeButtonId, 115, 615},
                   {&feedbackButton_, kFeedbackButtonId, 116, 588}};
    for (const TitleButton& b : buttons) {
        b.button->Create(this, b.id, kShown);
        b.button->SetBackground(PromptSharedBitmap(b.image));
        b.button->SetPos(b.x, 26);
    }
}

void CDLDlg::CreateActionButtons() {
    struct ActionButton {
        CSomButton4* button;
        UINT id;
        CSomBitmap* image;
    } buttons[] = {{&downloadButton_, kDownloadButtonId, &downloadImage_},
                   {&resumeButton_, kResumeButtonId, &resumeImage_},
                   {&pauseButton_, kPauseButtonId, &pauseImage_},
                   {&installButton_, kInstallButtonId, &installImage_},
                   {&redownloadButton_, kRedownloadButtonId, &redownloadImage_}};
    for (const ActionButton& b : buttons) {
        b.button->Create(this, b.id, kHidden);
        b.button->SetBackground(b.image);
        b.button->SetPos(kActionButtonAt.x, kActionButtonAt.y);
    }
}

void CDLDlg::CreateTexts() {
    const CDownloaderConfig& config = *services_.config;
    // Texts from the configuration document are shown as the characters they are.
    title_.Create(this, kTitleId, kShown);
    title_.SetFont(titleFont_.Get());
    title_.SetTextColor(0xFFFFFF);
    title_.SetPlainText(L"VexaYoral下载器-" + config.GetGameName() + L"专版");
    title_.SetPos(53, 22);

    std::wstring promotion = config.GetTextPromotionTitle();
    if (promotion.empty()) promotion = L"免费领取特权卡，激活码，快来Vexa发卡平台！";
    SetUpLabel(promotion_, this, kPromotionId, textFont_.Get(), 21, 392);
    promotion_.SetLinkColors(kPromotionColour, kPromotionHoverColour);
    promotion_.SetTextColor(kPromotionColour);
    promotion_.SetMaxWidth(kPromotionMaxWidth);
    promotion_.SetText(LinkMarkup(kPromotionId, kPromotionColour, EscapeMarkupText(promotion)));
    if (promotion_.GetWidth() > kPromotionMaxWidth) {
        promotion_.SetSize(kPromotionMaxWidth, promotion_.GetHeight());
    }

    SetUpLabel(openLink_, this, kOpenLinkId, linkFont_.Get(), 217, 315);
    openLink_.SetLinkColors(kLabelColour, kLinkHoverColour);
    openLink_.SetText(LinkMarkup(kOpenLinkId, kOpenLinkColour, L"打开"));
    SetUpLabel(changeLink_, this, kChangeLinkId, linkFont_.Get(), 217, 315, kHidden);
    changeLink_.SetLinkColors(kLabelColour, kLinkHoverColour);
    changeLink_.SetText(LinkMarkup(kChangeLinkId, kLabelColour, L"更改"));
}

void CDLDlg::CreateCompanionElements() {
    const CDownloaderConfig& config = *services_.config;
    companionBox_.Create(this, kCompanionBoxId, kShown);
    companionBox_.SetPos(22, 366);
    std::wstring tip = config.GetQuilletInstallTip();
    SetUpLabel(companionLabel_, this, 0, textFont_.Get(), 44, 367);
    companionLabel_.SetMaxWidth(450);
    companionLabel_.SetPlainText(tip.empty() ? L"安装Vexa游戏Quillet" : tip);
    SetUpLabel(versionText_, this, 0, textFont_.Get(), 470, 392);
    versionText_.SetMaxWidth(190);
    versionText_.SetPlainText(config.GetGameVersion());
    SetUpCompanionBox();
}

void CDLDlg::CreatePageArea() {
    std::wstring link = services_.config->GetEmbedLink2();
    pageView_ = std::make_unique<CSomHtmlView>();
    pageView_->SetLoadTimeLimit(options_.pageTimeLimitMs);
    // The view starts empty: the page is its first navigation, and one that fails, is
    // refused or does not load within the limit posts kShowDefaultPageMessage.
    HWND view = pageView_->Create(nullptr, L"about:blank", m_hWnd, kPageArea,
                                  CSomHtmlWnd::kDefaultStyle, 0, 0, nullptr, kPageHostFlags);
    if (view && IsNetworkConnected() && !link.empty()) {
        pageView_->Navigate(link.c_str());
        ShowPage(false);
    } else {
        ShowPage(true);
    }
}

void CDLDlg::ShowPage(bool defaultPage) {
    if (defaultPage && !defaultPage_) {
        defaultPage_ = std::make_unique<CDefaultWebWnd>();
        defaultPage_->Create(m_hWnd, kPageArea, nullptr, WS_CHILD | WS_VISIBLE);
    }
    if (pageView_ && pageView_->IsWindow()) pageView_->Show(defaultPage ? FALSE : TRUE);
    if (defaultPage_ && defaultPage_->IsWindow()) {
        defaultPage_->ShowWindow(defaultPage ? SW_SHOW : SW_HIDE);
    }
    Trace(defaultPage ? L"page default" : L"page web");
}

void CDLDlg::ShowButtonMode(int mode) {
    CSomButton4* buttons[] = {&downloadButton_, &resumeButton_, &pauseButton_, &installButton_,
                              &redownloadButton_};
    for (CSomButton4* button : buttons) button->Show(FALSE);
    unsigned shown = ActionButtonOfMode(mode);
    for (CSomButton4* button : buttons) {
        if (button->GetId() == shown) button->Show(TRUE);
    }
    buttonMode_ = mode;
    Trace(L"mode " + std::to_wstring(mode));
}

void CDLDlg::FormatSizePair(uint64_t done, uint64_t total) {
    progress_.SetLabel(FormatSizePairText(done, total));
    progress_.Redraw();
}

void CDLDlg::ShowSpeed(uint64_t bytesPerSecond) {
    speedText_.SetPlainText(FormatSpeed(bytesPerSecond));
}

void CDLDlg::RefreshProgress() {
    const CWorkflowState& workflow = *services_.workflow;
    TaskFigures main = engine_.Query(mainTask_);
    TaskFigures companion = engine_.Query(companionTask_);
    RefreshReading reading;
    reading.totalBytes = workflow.TotalBytes();
    reading.completedBytes = workflow.CompletedBytes();
    reading.mainDone = main.done;
    reading.mainSize = main.size;
    reading.companionTicked = CompanionTicked();
    reading.companionSize = CompanionSize(companion);
    reading.companionDone = CompanionDone(companion);
    reading.packageFileCount = services_.config->GetParts().size();
    reading.pendingCount = workflow.PendingCount();
    reading.fileFinished = fileFinished_;
    RefreshFigures figures = ComputeRefreshFigures(reading);
    if (figures.showSizes) FormatSizePair(figures.done, figures.total);
    progress_.SetPos(static_cast<int>(figures.percent));
}

void CDLDlg::ShowTargetFolder() {
    pathText_.SetPlainText(targetFolder_);
    Trace(L"path " + targetFolder_);
}

void CDLDlg::ShowFolderLinks(bool folderChosen) {
    openLink_.Show(folderChosen ? TRUE : FALSE);
    changeLink_.Show(folderChosen ? FALSE : TRUE);
}

void CDLDlg::DrawBackground(HDC hdc, const RECT* rect) {
    if (background_ && background_->IsLoaded()) {
        background_->DrawFrame(hdc, 0, 0, 0);
        return;
    }
    CBrushHandle brush(::CreateSolidBrush(RGB(0x1e, 0x22, 0x2b)));
    ::FillRect(hdc, rect, brush.Get());
}

void CDLDlg::Trace(const std::wstring& line) const {
    if (options_.trace) options_.trace(line);
}
