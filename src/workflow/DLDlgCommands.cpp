// The download window's creation, messages and command table.
#include "base/GdiHandles.h"
#include "config/DeploymentValuesInstance.h"
#include "config/DownloadFolder.h"
#include "config/DownloaderConfig.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "prompts/PromptFamily.h"
#include "shell/LinkOpener.h"
#include "skin/DefaultWebWnd.h"
#include "skin/SomHtmlView.h"
#include "transfer/NetworkState.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/FinishRules.h"
#include "workflow/FolderCheck.h"
#include "workflow/MainWindowRules.h"
#include "workflow/WorkflowState.h"

namespace {

constexpr UINT kIconId = 119;
constexpr UINT kBuiltInBackground = 105;
constexpr COLORREF kColourKey = 0xFFFF00;
constexpr wchar_t kGiftCardSite[] = L"http://www.vexayoral.com/card/";

enum Command : UINT {
    kCompanionBoxCommand = 7,
    kStartCommand = 10,
    kResumeCommand = 11,
    kPauseCommand = 12,
    kCloseCommand = 13,
    kMinimizeCommand = 14,
    kChangeFolderCommand = 15,
    kOpenFolderCommand = 16,
    kFeedbackCommand = 17,
    kInstallCommand = 18,
    kPromotionCommand = 19,
    kRedownloadCommand = 20,
};

}  // namespace

CDLDlg::CDLDlg(const DownloadWindowServices& services, DownloadWindowOptions options)
    : services_(services),
      options_(std::move(options)),
      engine_(services.engine),
      transferMutex_(::CreateMutexW(nullptr, FALSE, nullptr)),
      stall_(options_.stallSeconds, options_.stallRetries),
      companion_(options_.companionIdleLimit),
      fileWait_(options_.fileWaitLimit) {
    if (!options_.backgroundPath.empty()) {
        background_ = std::make_unique<CSomBitmap>(
            reinterpret_cast<UINT_PTR>(options_.backgroundPath.c_str()), 1);
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

CDLDlg::~CDLDlg() {
    worker_.Stop();
    DeleteTrayIcon();
    // The install thread only starts a process; it is given a moment to finish doing so.
    if (companionInstaller_.IsValid()) ::WaitForSingleObject(companionInstaller_.Get(), 10000);
}

CWndClassInfo CDLDlg::GetWndClassInfo() const {
    CWndClassInfo info;
    // The single-instance hand-over of a second copy finds this window by the class name.
    info.name = services_.config->GetPackageId();
    if (info.name.empty()) info.name = DefaultWindowClassName(typeid(CDLDlg).name());
    info.cursor = IDC_ARROW;
    info.background = nullptr;
    info.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    return info;
}

HWND CDLDlg::CreateDownloadWindow() {
    RECT rect = {0, 0, kWidth, kHeight};
    std::wstring title = L"VexaYoral下载器-" + services_.config->GetGameName() + L"专版";
    return Create(nullptr, rect, title.c_str(), WS_POPUP | WS_VISIBLE);
}

BOOL CDLDlg::PreTranslateMessage(MSG* msg) {
    // Enter and Escape do nothing in the program's windows.
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

LRESULT CDLDlg::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetWindowPos(nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, kColourKey, 255, LWA_COLORKEY);
    fileFinished_ = false;
    ApplyWindowShape();
    CenterWindow();
    CreateFonts();
    CreateElements();
    engine_.Init();
    engine_.SetSeeds(services_.config->GetSeedUrl());
    EnterInitialState(DetectInitialState());
    return 0;
}

void CDLDlg::ApplyWindowShape() {
    const POINT shape[] = {{7, 0},     {286, 0},   {295, 10}, {671, 10}, {679, 19},
                           {679, 411}, {671, 419}, {8, 419},  {0, 411},  {0, 0}};
    CRegionHandle region(::CreatePolygonRgn(shape, 10, ALTERNATE));
    // The window owns the region once it accepts it.
    if (region && SetWindowRgn(region.Get(), FALSE)) region.Release();
}

LRESULT CDLDlg::OnTimer(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    switch (wParam) {
        case 0:
            OnProgressTimer();
            return 0;
        case 1:
            OnNetworkTimer();
            return 0;
        case 2:
            OnFileWaitTimer();
            return 0;
        default:
            handled = FALSE;
            return 0;  // the element manager's own timer
    }
}

LRESULT CDLDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    SendMessage(WM_COMMAND, kCloseCommand, 0);
    return 0;
}

LRESULT CDLDlg::OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    // Elements take their presses first; anywhere else drags the captionless window.
    LRESULT result = 0;
    if (!ProcessMessage(m_hWnd, msg, wParam, lParam, result, 0)) {
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    }
    return result;
}

LRESULT CDLDlg::OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    DispatchCommand(LOWORD(wParam), lParam);
    return 0;
}

void CDLDlg::DispatchCommand(UINT id, LPARAM lParam) {
    if (closing_ && id != kQuitCommand) return;
    Trace(L"command " + std::to_wstring(id));
    switch (id) {
        case kCloseCommand:
            HideToTray();
            break;
        case kMinimizeCommand:
            ShowWindow(SW_SHOWMINIMIZED);
            break;
        case kFeedbackCommand:
            OnFeedback();
            break;
        case kPromotionCommand:
            OnPromotionLink();
            break;
        case kStartCommand: {
            bool fromWorker = lParam == CNextFileWorker::kNextFileMarker;
            if (fromWorker && worker_.Stopping()) break;  // the worker is being stopped
            bool started = StartDownload(!fromWorker);
            if (!fromWorker && started && !worker_.Running()) {
                SendClientAppReport(L"statLogMuldownUrl", false);
                StartWorker();
            }
            break;
        }
        case kPauseCommand:
            OnPauseCommand();
            break;
        case kResumeCommand:
            OnResumeCommand();
            break;
        case kInstallCommand:
            OnInstallCommand();
            break;
        case kRedownloadCommand:
            OnRedownloadCommand();
            break;
        case kOpenFolderCommand:
            OnOpenFolderCommand();
            break;
        case kChangeFolderCommand:
            OnChangeFolderCommand();
            break;
        case kCompanionBoxCommand:
            OnCompanionBoxCommand();
            break;
        case kShowCommand:
            ShowAndRaise();
            break;
        case kQuitCommand:
            Quit();
            break;
        default:
            break;
    }
}

LRESULT CDLDlg::OnShowDefaultPage(UINT, WPARAM, LPARAM, BOOL&) {
    ShowPage(true);
    return 0;
}

LRESULT CDLDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    KillTimer(0);
    KillTimer(1);
    KillTimer(2);
    DeleteTrayIcon();
    handled = FALSE;  // the element manager lets go of the window too
    return 0;
}

void CDLDlg::OnPauseCommand() {
    PauseTransfer();
    ShowSpeed(0);
    ShowButtonMode(kModeResume);
}

void CDLDlg::OnResumeCommand() {
    CWorkflowState& workflow = *services_.workflow;
    std::wstring target = CurrentTargetPath();
    if (!target.empty() && FileExists(target.c_str())) {
        // The file finished while the transfer was paused.
        if (!workflow.PendingEmpty()) currentFile_ = workflow.PendingFront();
        RecreateTasks();
        ResumeTransfer();
    } else if (!target.empty() && FileExists((target + L".p2p").c_str())) {
        ResumeTransfer();
        ShowButtonMode(kModePause);
        if (!worker_.Running()) {
            if (!AcquireTransferMutex()) return;
            StartWorker();
        }
    } else if (workflow.RestoreFlag() && !workflow.PendingEmpty()) {
        if (StartDownload(false) && !worker_.Running()) StartWorker();
    } else {
        CFileDamagedDlg prompt;
        prompt.SetMessage(L"下载文件被破坏，请重新下载!");
        if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton) {
            engine_.Remove(mainTask_);
            mainTask_ = -1;
            StopWorker();
        }
    }
}

void CDLDlg::OnChangeFolderCommand() {
    const CWorkflowState& workflow = *services_.workflow;
    std::deque<PackageFile> parts = services_.config->GetParts();
    FolderRequest request;
    request.fileName =
        FileNameOf(workflow.PendingEmpty() ? parts.front() : workflow.PendingFront());
    request.requiredBytes = TotalSizeOf(parts);
    request.needsLargeFiles = request.requiredBytes > kFatFileLimit;
    CSystemFolderFacts facts;
    for (;;) {
        if (!ChooseFolder(&request.folder)) return;
        FolderVerdict verdict = CheckDownloadFolder(facts, request);
        if (verdict == FolderVerdict::kAccepted) break;
        if (ShowDirErrPrompt(FolderRefusalText(verdict)) != kPromptExtraButton) return;
    }
    std::wstring previous = LoadDownloadFolder();
    targetFolder_ = WithTrailingBackslash(request.folder);
    ShowTargetFolder();
    // Choosing the saved folder again moves nothing: its files are the download's own.
    if (parts.size() < 2 || previous.empty() || IsSameFolder(previous, targetFolder_)) return;
    for (const PackageFile& part : parts) {
        if (!FileExists((targetFolder_ + FileNameOf(part)).c_str())) {
            DiscardPartialFiles(previous);
            break;
        }
    }
}

void CDLDlg::OnPromotionLink() {
    std::wstring link = services_.config->GetTextPromotionLink();
    if (link.empty()) link = options_.giftCardUrl.empty() ? kGiftCardSite : options_.giftCardUrl;
    ShellOpenLink(link);
}

void CDLDlg::OnFeedback() {
    ShellOpenLink(options_.feedbackUrl.empty() ? FeedbackPageUrl() : options_.feedbackUrl);
}
