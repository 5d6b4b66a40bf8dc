#include "workflow/DownloadWindowView.h"

#include <cwchar>

#include "config/DownloaderConfig.h"
#include "prompts/PromptSkin.h"
#include "skin/DefaultWebWnd.h"
#include "skin/MarkupText.h"
#include "skin/SkinResources.h"
#include "skin/SomHtmlView.h"
#include "workflow/ButtonModes.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/MainWindowRules.h"
#include "workflow/ProgressFormat.h"
#include "workflow/WorkflowTexts.h"

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
constexpr UINT kBuiltInBackground = 105;

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

CDownloadWindowView::CDownloadWindowView(const std::wstring& backgroundPath,
                                         std::function<void(const std::wstring&)> trace)
    : trace_(std::move(trace)) {
    if (!backgroundPath.empty()) {
        background_ =
            std::make_unique<CSomBitmap>(reinterpret_cast<UINT_PTR>(backgroundPath.c_str()), 1);
        // The image comes over the network: one of another size would leave parts of the
        // window unpainted or cut off, so only an exact fit replaces the built-in one.
        if (!background_->IsLoaded() ||
            !FitsDownloadBackground(static_cast<uint32_t>(background_->GetFrameWidth()),
                                    static_cast<uint32_t>(background_->GetHeight()))) {
            background_.reset();
        }
    }
    if (!background_) background_ = std::make_unique<CSomBitmap>(kBuiltInBackground, 1);
    Trace(background_->GetResourceId() ? L"background built-in" : L"background downloaded");
}

CDownloadWindowView::~CDownloadWindowView() = default;

void CDownloadWindowView::Create(ISomWndManager* manager, HWND host,
                                 const CDownloaderConfig& config, bool companionTicked, bool online,
                                 unsigned pageTimeLimitMs) {
    host_ = host;
    CreateFonts();
    CreateTitleButtons(manager);
    CreateActionButtons(manager);
    progress_.Create(manager, kProgressId, CSomWnd::kVisible);
    progress_.SetRect(87, 342, 420, 17);
    progress_.SetRange(0, 100);
    progress_.SetPos(0);
    progress_.SetCapWidth(9);
    CreateTexts(manager, config);
    CreateCompanionElements(manager, config);
    SetCompanionBox(companionTicked);
    CreateLabels(manager);
    CreatePageArea(config.GetEmbedLink2(), online, pageTimeLimitMs);
    ShowButtonMode(kModeDownload);
}

void CDownloadWindowView::CreateFonts() {
    textFont_ = MakeFont(L"宋体", -12, 0, false);
    linkFont_ = MakeFont(L"宋体", -13, 0, true);
    boldLinkFont_ = MakeFont(L"宋体", -12, FW_BOLD, true);
    titleFont_ =
        MakeFont(CSkinResources::IsWindows6OrLater() ? L"微软雅黑" : L"宋体", -13, FW_BOLD, false);
}

void CDownloadWindowView::CreateTitleButtons(ISomWndManager* manager) {
    struct TitleButton {
        CSomButton4* button;
        UINT id;
        UINT image;
        int x;
    } buttons[] = {{&closeButton_, kCloseCommand, 102, 643},
                   {&minimizeButton_, kMinimizeCommand, 115, 615},
                   {&feedbackButton_, kFeedbackCommand, 116, 588}};
    for (const TitleButton& b : buttons) {
        b.button->Create(manager, b.id, kShown);
        b.button->SetBackground(PromptSharedBitmap(b.image));
        b.button->SetPos(b.x, 26);
    }
}

void CDownloadWindowView::CreateActionButtons(ISomWndManager* manager) {
    struct ActionButton {
        CSomButton4* button;
        UINT id;
        CSomBitmap* image;
    } buttons[] = {{&downloadButton_, kStartCommand, &downloadImage_},
                   {&resumeButton_, kResumeCommand, &resumeImage_},
                   {&pauseButton_, kPauseCommand, &pauseImage_},
                   {&installButton_, kInstallCommand, &installImage_},
                   {&redownloadButton_, kRedownloadCommand, &redownloadImage_}};
    for (const ActionButton& b : buttons) {
        b.button->Create(manager, b.id, kHidden);
        b.button->SetBackground(b.image);
        b.button->SetPos(kActionButtonAt.x, kActionButtonAt.y);
    }
}

void CDownloadWindowView::CreateTexts(ISomWndManager* manager, const CDownloaderConfig& config) {
    // Texts from the configuration document are shown as the characters they are.
    title_.Create(manager, kTitleId, kShown);
    title_.SetFont(titleFont_.Get());
    title_.SetTextColor(0xFFFFFF);
    title_.SetPlainText(ProgramTitleFor(config.GetGameName()));
    title_.SetPos(53, 22);

    std::wstring promotion = config.GetTextPromotionTitle();
    if (promotion.empty()) promotion = L"免费领取特权卡，激活码，快来Vexa发卡平台！";
    SetUpLabel(promotion_, manager, kPromotionCommand, textFont_.Get(), 21, 392);
    promotion_.SetLinkColors(kPromotionColour, kPromotionHoverColour);
    promotion_.SetTextColor(kPromotionColour);
    promotion_.SetMaxWidth(kPromotionMaxWidth);
    promotion_.SetText(
        LinkMarkup(kPromotionCommand, kPromotionColour, EscapeMarkupText(promotion)));
    if (promotion_.GetWidth() > kPromotionMaxWidth) {
        promotion_.SetSize(kPromotionMaxWidth, promotion_.GetHeight());
    }

    SetUpLabel(openLink_, manager, kOpenFolderCommand, linkFont_.Get(), 217, 315);
    openLink_.SetLinkColors(kLabelColour, kLinkHoverColour);
    openLink_.SetText(LinkMarkup(kOpenFolderCommand, kOpenLinkColour, L"打开"));
    SetUpLabel(changeLink_, manager, kChangeFolderCommand, linkFont_.Get(), 217, 315, kHidden);
    changeLink_.SetLinkColors(kLabelColour, kLinkHoverColour);
    changeLink_.SetText(LinkMarkup(kChangeFolderCommand, kLabelColour, L"更改"));
}

void CDownloadWindowView::CreateCompanionElements(ISomWndManager* manager,
                                                  const CDownloaderConfig& config) {
    companionBox_.Create(manager, kCompanionBoxCommand, kShown);
    companionBox_.SetPos(22, 366);
    std::wstring tip = config.GetQuilletInstallTip();
    SetUpLabel(companionLabel_, manager, kUnnamedLabelId, textFont_.Get(), 44, 367);
    companionLabel_.SetMaxWidth(450);
    companionLabel_.SetPlainText(tip.empty() ? L"安装Vexa游戏Quillet" : tip);
    SetUpLabel(versionText_, manager, kUnnamedLabelId, textFont_.Get(), 470, 392);
    versionText_.SetMaxWidth(190);
    versionText_.SetPlainText(config.GetGameVersion());
}

void CDownloadWindowView::CreateLabels(ISomWndManager* manager) {
    SetUpLabel(pathText_, manager, kPathTextId, textFont_.Get(), 87, 315);
    pathText_.SetMaxWidth(129);
    pathText_.SetText(L"{&#color=0x888888}请点击下载按钮，选择游戏保存目录");
    SetUpLabel(progressLabel_, manager, kProgressLabelId, textFont_.Get(), 21, 342);
    progressLabel_.SetText(L"下载进度：");
    SetUpLabel(pathLabel_, manager, kPathLabelId, textFont_.Get(), 21, 315);
    pathLabel_.SetText(L"保存路径：");
    SetUpLabel(speedText_, manager, kSpeedTextId, textFont_.Get(), 408, 315);
    speedText_.SetText(L"速度：");
}

void CDownloadWindowView::CreatePageArea(const std::wstring& link, bool online,
                                         unsigned pageTimeLimitMs) {
    pageView_ = std::make_unique<CSomHtmlView>();
    pageView_->SetLoadTimeLimit(pageTimeLimitMs);
    // The view starts empty: the page is its first navigation, and one that fails, is
    // refused or does not load within the limit posts kShowDefaultPageMessage.
    HWND view = pageView_->Create(nullptr, L"about:blank", host_, kPageArea,
                                  CSomHtmlWnd::kDefaultStyle, 0, 0, nullptr, kPageHostFlags);
    if (view && online && !link.empty()) {
        pageView_->Navigate(link.c_str());
        ShowPage(false);
    } else {
        ShowPage(true);
    }
}

void CDownloadWindowView::ShowPage(bool defaultPage) {
    if (defaultPage && !defaultPage_) {
        defaultPage_ = std::make_unique<CDefaultWebWnd>();
        defaultPage_->Create(host_, kPageArea, nullptr, WS_CHILD | WS_VISIBLE);
    }
    if (pageView_ && pageView_->IsWindow()) pageView_->Show(defaultPage ? FALSE : TRUE);
    if (defaultPage_ && defaultPage_->IsWindow()) {
        defaultPage_->ShowWindow(defaultPage ? SW_SHOW : SW_HIDE);
    }
    Trace(defaultPage ? L"page default" : L"page web");
}

void CDownloadWindowView::ShowButtonMode(int mode) {
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

void CDownloadWindowView::ShowPercent(unsigned percent) {
    progress_.SetPos(static_cast<int>(percent));
}

void CDownloadWindowView::ShowSizes(uint64_t done, uint64_t total) {
    progress_.SetLabel(FormatSizePairText(done, total));
    progress_.Redraw();
}

void CDownloadWindowView::ShowSpeed(uint64_t bytesPerSecond) {
    speedText_.SetPlainText(FormatSpeed(bytesPerSecond));
}

void CDownloadWindowView::ShowTargetFolder(const std::wstring& folder) {
    pathText_.SetPlainText(folder);
    Trace(L"path " + folder);
}

void CDownloadWindowView::ShowFolderLinks(bool folderChosen) {
    openLink_.Show(folderChosen ? TRUE : FALSE);
    changeLink_.Show(folderChosen ? FALSE : TRUE);
}

void CDownloadWindowView::DrawBackground(HDC hdc, const RECT* rect) const {
    if (background_ && background_->IsLoaded()) {
        background_->DrawFrame(hdc, 0, 0, 0);
        return;
    }
    CBrushHandle brush(::CreateSolidBrush(RGB(0x1e, 0x22, 0x2b)));
    ::FillRect(hdc, rect, brush.Get());
}

void CDownloadWindowView::Trace(const std::wstring& line) const {
    if (trace_) trace_(line);
}
