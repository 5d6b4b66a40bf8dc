// The main window: its elements, the configuration thread's reports, the bar's race and the
// hand-over, and the desktop shortcut.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "workflow/MainDlg.h"

#include "config/DownloaderConfig.h"
#include "config/ShellFolders.h"
#include "prompts/PromptSkin.h"
#include "workflow/ConfigInitThread.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/MainWindowRules.h"
#include "workflow/ProgramWindows.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

namespace {

constexpr UINT kCloseButtonImage = 102;  // the download window's close button too
constexpr DWORD kShown = CSomWnd::kVisible | CSomWnd::kAutoSize;

enum ElementId : UINT {
    kMainCloseButtonId = 0,
    kMainTitleId = 1,
    kMainStatusId = 2,
    kMainProgressId = 3,
};

std::wstring ReleaseVerdictTextW(ReleaseVerdict verdict) {
    std::string text = ReleaseVerdictText(verdict);
    return std::wstring(text.begin(), text.end());
}

std::wstring OwnProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

// The shortcut is rewritten at every start, so it always leads to where the program is now.
// A failure leaves the desktop as it was.
void RewriteDesktopShortcut() {
    std::wstring program = OwnProgramPath();
    std::wstring stem = ShortcutStemFor(program);
    wchar_t desktop[MAX_PATH] = {};
    if (program.empty() || stem.empty() ||
        !::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE))
        return;
    std::wstring shortcut = std::wstring(desktop) + L"\\" + stem + L".lnk";
    if (::GetFileAttributesW(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES)
        ::DeleteFileW(shortcut.c_str());
    CreateShortcut(program, L"", L"", shortcut, stem);
}

}  // namespace

CMainDlg::CMainDlg(CProgramWindows* windows) : windows_(windows) {}

CMainDlg::~CMainDlg() = default;

BOOL CMainDlg::PreTranslateMessage(MSG* msg) { return IsEnterOrEscape(msg); }

void CMainDlg::DrawBackground(HDC hdc, const RECT* rect) {
    if (background_.IsLoaded()) {
        background_.DrawFrame(hdc, 0, 0, 0);
        return;
    }
    CSomWndManager::DrawBackground(hdc, rect);
}

LRESULT CMainDlg::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    RewriteDesktopShortcut();
    ::GetSystemMenu(m_hWnd, TRUE);
    SetProgramIcon(m_hWnd, kProgramIconId);
    ::MoveWindow(m_hWnd, 0, 0, kWidth, kHeight, FALSE);
    CreateElements();
    CenterWindow();
    StartConfigThread();
    return 0;
}

void CMainDlg::CreateElements() {
    closeButton_.Create(this, kMainCloseButtonId, kShown);
    closeButton_.SetBackground(PromptSharedBitmap(kCloseButtonImage));
    closeButton_.SetPos(369, 16);

    title_.Create(this, kMainTitleId, kShown);
    title_.SetFont(PromptSkinFont(kPromptTitleFont));
    title_.SetText(L"{&#color=0xffffff}VexaYoral下载器");
    title_.SetPos(17, 17);

    status_.Create(this, kMainStatusId, kShown);
    status_.SetFont(PromptSkinFont(kPromptTitleFont));
    status_.SetTextColor(kPromptMessageColour);
    status_.SetText(L"正在初始化...");
    status_.SetPos(162, 75);

    progress_.Create(this, kMainProgressId, CSomWnd::kVisible);
    progress_.SetRect(37, 114, 339, 17);
    progress_.SetRange(0, 100);
    progress_.SetCapWidth(8);
    ShowProgress(initProgress_);
}

void CMainDlg::StartConfigThread() {
    configThread_.Reset(StartConfigInitThread(m_hWnd, windows_->Services().config));
    // Without a thread nothing would ever report: the fetch counts as failed.
    if (!configThread_.IsValid()) OnConfigFinished(0);
}

bool CMainDlg::EndConfigThread(DWORD boundMs) {
    if (!configThread_.IsValid()) return true;
    const ConfigThreadEnd end =
        EndConfigInitThread(configThread_.Get(), windows_->Services().config, boundMs);
    windows_->Trace(end == ConfigThreadEnd::kEndedBefore ? L"configuration thread had ended"
                    : end == ConfigThreadEnd::kStopped   ? L"configuration thread stopped"
                                                         : L"configuration thread still running");
    return end != ConfigThreadEnd::kStillRunning;
}

LRESULT CMainDlg::OnConfigReport(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (lParam == kReportProgress) {
        windows_->Trace(L"report progress " + std::to_wstring(static_cast<int>(wParam)));
        ShowProgress(static_cast<int>(wParam));
        ready_ = false;
    } else if (lParam == kReportFinished) {
        OnConfigFinished(static_cast<int>(wParam));
    }
    return 0;
}

void CMainDlg::OnConfigFinished(int result) {
    windows_->Trace(L"report finished " + std::to_wstring(result));
    const DownloadWindowServices& services = windows_->Services();
    // The lists are the package's as read; a failed read leaves them empty.
    services.workflow->SetPackage(services.config->GetParts());
    ready_ = true;
    initResult_ = result;
    SetTimer(kRaceTimer, kRaceTickMs);
}

LRESULT CMainDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kRaceTimer) {
        handled = FALSE;  // the element manager's own timer
        return 0;
    }
    if (handedOver_) return 0;
    if (RaceFinished(initProgress_)) {
        HandOver();
        return 0;
    }
    ShowProgress(NextRacePercent(initProgress_));
    return 0;
}

void CMainDlg::HandOver() {
    handedOver_ = true;
    KillTimer(kRaceTimer);
    windows_->Trace(L"race ended at " + std::to_wstring(initProgress_));
    const DownloadWindowServices& services = windows_->Services();
    CDownloaderConfig& config = *services.config;
    const std::wstring title = ProgramTitleFor(config.GetGameName());
    const bool read = initResult_ == kConfigSkinFailed || initResult_ == kConfigReady;
    // A release the publisher did not sign, or an older one, is refused like a package the
    // program cannot take: retrying would fetch the same.
    const bool refused = initResult_ == kConfigRefused;
    if (refused) {
        windows_->Trace(L"release refused: " +
                        std::wstring(ReleaseVerdictTextW(config.GetReleaseVerdict())));
    }
    if (!read || !PassesPackageCheck(services.workflow->Pending(), config.GetPackageId())) {
        windows_->Trace(read || refused ? L"package refused" : L"configuration not read");
        DestroyWindow();
        if (read || refused) {
            windows_->ShowPackageRefusedPrompt(title);
        } else {
            windows_->ShowInitialFailedPrompt(title);
        }
        return;
    }
    ShowProgress(100);
    DestroyWindow();
    if (IsDownloaderOlder(config.GetVersionText(), config.GetNewVersion())) {
        windows_->ShowOlderVersionPrompt(title);
        return;
    }
    // A skin image only exists when it was fetched: with result 2 there is none.
    std::wstring background = initResult_ == kConfigReady ? config.GetSkinImagePath() : L"";
    if (!windows_->OpenDownloadWindow(background)) windows_->ShowInitialFailedPrompt(title);
}

void CMainDlg::ShowProgress(int percent) {
    initProgress_ = percent;
    progress_.SetPos(percent);
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    CloseProgram();
    return 0;
}

LRESULT CMainDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (LOWORD(wParam) != kMainCloseButtonId) {
        handled = FALSE;
        return 0;
    }
    CloseProgram();
    return 0;
}

void CMainDlg::CloseProgram() {
    windows_->Trace(L"main window closed");
    // A fetch still running is of no use any more; the loop's end waits for its thread.
    windows_->Services().config->CancelInit();
    DestroyWindow();
    ::PostQuitMessage(0);
}

LRESULT CMainDlg::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &point);
    // The window has no caption: every point but the close button drags it.
    return ::PtInRect(&closeButton_.Rect(), point) ? HTCLIENT : HTCAPTION;
}
