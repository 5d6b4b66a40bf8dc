// The download window's creation, messages and command table.
#include "config/DeploymentValuesInstance.h"
#include "config/DownloadFolder.h"
#include "config/DownloaderConfig.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/PromptFamily.h"
#include "shell/LinkOpener.h"
#include "skin/SomHtmlView.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DiskFolderView.h"
#include "workflow/FinishRules.h"
#include "workflow/FolderCheck.h"
#include "workflow/MainWindowRules.h"
#include "workflow/TransferDecisions.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

namespace {

constexpr COLORREF kColourKey = 0xFFFF00;
constexpr wchar_t kGiftCardSite[] = L"http://www.vexayoral.com/card/";
static_assert(CFileCheckFailedDlg::kFeedbackCommand == kFeedbackCommand,
              "the failed-check prompt's link is the feedback button's command");
static_assert(kShowDefaultPageMessage == CSomHtmlView::kShowDefaultPageMessage,
              "the page view's message is the window's");

}  // namespace

CDLDlg::CDLDlg(const DownloadWindowServices& services, DownloadWindowOptions options)
    : services_(services),
      options_(std::move(options)),
      ownTasks_(services.engine),
      engine_(services.tasks ? *services.tasks : ownTasks_),
      state_(services.stateFilePath.empty() ? GetStateFilePath() : services.stateFilePath),
      planner_(options_.stallSeconds, options_.stallRetries, options_.companionIdleLimit),
      fileWait_(options_.fileWaitLimit),
      view_(options_.backgroundPath, options_.trace) {}

CDLDlg::~CDLDlg() {
    worker_.Stop();
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
    info.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIconId));
    return info;
}

HWND CDLDlg::CreateDownloadWindow() {
    RECT rect = {0, 0, kWidth, kHeight};
    std::wstring title = ProgramTitleFor(services_.config->GetGameName());
    // The system menu gives Alt+Space and the taskbar's menu (minimise, close).
    return Create(nullptr, rect, title.c_str(), WS_POPUP | WS_VISIBLE | WS_SYSMENU);
}

BOOL CDLDlg::PreTranslateMessage(MSG* msg) { return IsEnterOrEscape(msg); }

LRESULT CDLDlg::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);
    SetProgramIcon(m_hWnd, kProgramIconId);
    SetWindowPos(nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, kColourKey, 255, LWA_COLORKEY);
    fileFinished_ = false;
    // The top-left corner is square and the edge left of x = 286 stands 10 pixels higher.
    const POINT shape[] = {{7, 0},     {286, 0},   {295, 10}, {671, 10}, {679, 19},
                           {679, 411}, {671, 419}, {8, 419},  {0, 411},  {0, 0}};
    ApplyShape(m_hWnd, shape, 10);
    CenterWindow();
    bool offered = OfferCompanion();
    view_.Create(this, m_hWnd, *services_.config, offered, IsOnline(), options_.pageTimeLimitMs);
    engine_.Init();
    engine_.SetSeeds(services_.config->GetSeedUrl());
    EnterInitialState(DetectInitialState());
    return 0;
}

LRESULT CDLDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    switch (wParam) {
        case kProgressTimer:
            OnProgressTimer();
            return 0;
        case kNetworkWaitTimer:
            OnNetworkTimer();
            return 0;
        case kFileWaitTimer:
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

LRESULT CDLDlg::OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    return PressOrDrag(m_hWnd, msg, wParam, lParam);
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
        case kStartCommand:
            OnStartCommand(lParam);
            break;
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
    view_.ShowPage(true);
    return 0;
}

LRESULT CDLDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    KillTimer(kProgressTimer);
    KillTimer(kNetworkWaitTimer);
    KillTimer(kFileWaitTimer);
    tray_.Remove();
    handled = FALSE;  // the element manager lets go of the window too
    return 0;
}

void CDLDlg::OnStartCommand(LPARAM lParam) {
    if (lParam != kNextFileMarker) {
        userPaused_ = false;
        bool started = StartDownload(true);
        if (started && !worker_.Running()) {
            SendClientAppReport(L"statLogMuldownUrl", false);
            StartWorker();
        }
        return;
    }
    switch (DecideNextFile(closing_, worker_.Stopping(), userPaused_)) {
        case NextFileAction::kStart:
            StartDownload(false);
            break;
        case NextFileAction::kDefer:
            // The turn is held meanwhile, or the worker would ask again at once.
            Trace(L"next file waits");
            nextFileWaiting_ = turn_.Take();
            break;
        default:
            break;
    }
}

void CDLDlg::OnPauseCommand() {
    userPaused_ = true;
    // A pause made while offline stays a pause when the network comes back.
    KillTimer(kNetworkWaitTimer);
    PauseTransfer();
    view_.ShowSpeed(0);
    view_.ShowButtonMode(kModeResume);
}

void CDLDlg::OnResumeCommand() {
    CWorkflowState& workflow = *services_.workflow;
    std::wstring target = CurrentTargetPath();
    ResumeFacts facts;
    facts.targetExists = !target.empty() && FileExists(target.c_str());
    facts.partialExists = !target.empty() && FileExists((target + L".P2P").c_str());
    facts.mainTaskExists = mainTask_ != kNoTask;
    facts.mainDone = engine_.Query(mainTask_).done;
    facts.companionPending = CompanionActive() && !planner_.Companion().Finished();
    facts.nextFileWaiting = nextFileWaiting_;
    facts.restoreFlag = workflow.RestoreFlag();
    facts.pendingEmpty = workflow.PendingEmpty();
    ResumeAction action = DecideResume(facts);
    userPaused_ = false;
    nextFileWaiting_ = false;
    switch (action) {
        case ResumeAction::kRecreateAndResume:
            if (!workflow.PendingEmpty()) currentFile_ = workflow.PendingFront();
            RecreateTasks();
            ResumeTransfer();
            break;
        case ResumeAction::kResume:
            if (ResumeTransfer() && !worker_.Running() && turn_.Take()) StartWorker();
            break;
        case ResumeAction::kStartNextFile:
            if (StartDownload(false) && !worker_.Running()) StartWorker();
            break;
        default:
            ShowDamagedFile();
            break;
    }
}

void CDLDlg::OnChangeFolderCommand() {
    std::deque<PackageFile> parts = services_.config->GetParts();
    FolderRequest request = FolderChangeRequest(parts, services_.workflow->Pending());
    CSystemFolderFacts facts;
    for (;;) {
        if (!ChooseFolder(&request.folder)) return;
        FolderVerdict verdict = CheckDownloadFolder(facts, request);
        if (verdict == FolderVerdict::kAccepted) break;
        if (ShowDirErrPrompt(FolderRefusalText(verdict)) != kPromptExtraButton) return;
    }
    std::wstring previous = state_.LoadDownloadFolder();
    targetFolder_ = WithTrailingBackslash(request.folder);
    view_.ShowTargetFolder(targetFolder_);
    CDiskFolderView disk;
    if (ShouldDiscardPreviousFolder(disk, parts, previous, targetFolder_)) {
        DiscardPartialFiles(previous);
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
