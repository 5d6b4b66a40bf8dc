// Verification of finished files, installation, opening the folder, re-download, discarding
// the package's files, and running the prompts over the window.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include "config/DownloaderConfig.h"
#include "config/ShellFolders.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "probes/ScreenProbes.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/InstallGameDlg.h"
#include "prompts/PromptFamily.h"
#include "prompts/PromptRunner.h"
#include "shell/LinkOpener.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DiskFolderView.h"
#include "workflow/FinishRules.h"
#include "workflow/WorkflowState.h"

namespace {

constexpr UINT kOpenFolderCommand = 16;
constexpr UINT kInstallCommand = 18;

// Starts the game's installer; false when nothing started. A program that was written a
// moment ago may still be held (a virus scanner reading it), and a busy machine may fail a
// start now and then: one more try before the user is told. No shell error box: the
// window's own prompt says what happened.
bool StartInstaller(const std::wstring& program) {
    return ShellOpenWithoutErrorUi(program) || ShellOpenWithoutErrorUi(program);
}

}  // namespace

bool CDLDlg::VerifyFile(const std::wstring& path) {
    CWorkflowState& workflow = *services_.workflow;
    bool last = workflow.PendingCount() == 1;
    if (last) progress_.SetPos(100);
    CDiskFolderView disk;
    bool valid = IsPackageFileValid(disk, path, currentFile_, services_.config->GetSafeCheck());
    Trace(valid ? L"verified" : L"check failed");
    if (!valid) {
        checkFailed_ = true;
        engine_.Remove(mainTask_);
        mainTask_ = -1;
        ShowCheckFailed();
        return false;
    }
    RefreshProgress();
    if (last) {
        ShowButtonMode(kModeInstall);
        // Asked in front of the user even when the window waits in the notification area.
        SendMessage(WM_COMMAND, kShowCommand, 0);
    }
    engine_.Remove(mainTask_);
    mainTask_ = -1;
    if (!last || closing_) return true;
    CInstallGameDlg prompt;
    prompt.SetMessage(CInstallGameDlg::MessageFor(services_.config->GetGameName()));
    int result = RunPrompt(prompt, L"DownloadFinished", true);
    if (closing_) return true;
    if (result == kPromptExtraButton) PostMessage(WM_COMMAND, kInstallCommand, 0);
    ShowButtonMode(kModeInstall);
    SendClientAppReport(L"statLogMuldownMd5", true);
    return true;
}

void CDLDlg::ShowCheckFailed() {
    size_t pending = services_.workflow->PendingCount();
    CFileCheckFailedDlg prompt;
    prompt.SetMessage(L"文件安全校验失败，更多帮助，请");
    prompt.SetMultiFileForm(pending >= 2 ? TRUE : FALSE);
    int result = RunPrompt(prompt, nullptr, false);
    if (closing_) return;
    CheckFailedOutcome outcome =
        DecideCheckFailed(result, services_.config->GetParts().size(), pending);
    if (outcome.stopWorker) StopWorker();
    if (outcome.buttonMode >= 0) ShowButtonMode(outcome.buttonMode);
    if (outcome.command != 0) SendMessage(WM_COMMAND, outcome.command, 0);
}

void CDLDlg::OnInstallCommand() {
    std::deque<PackageFile> parts = services_.config->GetParts();
    CDiskFolderView disk;
    InstallPlan plan =
        PlanInstall(disk, targetFolder_, parts, services_.config->GetGameStart(), checkFailed_);
    if (plan.problem == InstallProblem::kNone) {
        Trace(L"install " + plan.program);
        if (StartInstaller(plan.program)) return;
        // Not a program this system runs, or not ours to run: the file error's way out,
        // the folder, where the user can see the file and start it by hand.
        Trace(L"install failed " + std::to_wstring(::GetLastError()));
    }
    if (plan.problem == InstallProblem::kDamaged) {
        CFileDamagedDlg prompt;
        prompt.SetMessage(L"下载文件被破坏，请重新下载!");
        if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton) StopWorker();
    } else {
        CFileErrDlg prompt;
        prompt.SetMessage(L"安装文件错误!点击继续打开文件目录。");
        if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton) {
            SendMessage(WM_COMMAND, kOpenFolderCommand, 0);
        }
    }
}

void CDLDlg::OnOpenFolderCommand() {
    CDiskFolderView disk;
    OpenFolderPlan plan = PlanOpenFolder(disk, targetFolder_, services_.workflow->Pending());
    switch (plan.action) {
        case OpenFolderAction::kSelect:
            Trace(L"select " + plan.path);
            OpenFolderAndSelect(plan.path);
            break;
        case OpenFolderAction::kOpen:
            Trace(L"open " + plan.path);
            ::ShellExecuteW(nullptr, L"open", plan.path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        default: {
            CDirOpenFailedDlg prompt;
            prompt.SetMessage(L"打开目录失败，目录不存在或已损坏！");
            RunPrompt(prompt, nullptr, false);
            break;
        }
    }
}

void CDLDlg::OnRedownloadCommand() {
    CWorkflowState& workflow = *services_.workflow;
    std::deque<PackageFile> parts = services_.config->GetParts();
    workflow.ReplacePending(parts);
    workflow.SetCompletedBytes(0);
    progress_.SetPos(0);
    // The finished files go; a partial file stays, the engine takes it up again.
    DeletePackageFiles(targetFolder_, false);
    checkFailed_ = false;
    // A new worker follows the fresh list.
    StopWorker();
    fileFinished_ = false;
    SendMessage(WM_COMMAND, kDownloadButtonId, 0);
}

void CDLDlg::DiscardPartialFiles(const std::wstring& folder) { DeletePackageFiles(folder, true); }

void CDLDlg::DeletePackageFiles(const std::wstring& folder, bool withPartials) {
    if (folder.empty() || !::FolderExists(folder.c_str())) return;
    std::vector<std::wstring> paths =
        PackageFilePaths(folder, services_.config->GetParts(), withPartials);
    for (const std::wstring& path : paths) {
        if (::DeleteFileW(path.c_str())) Trace(L"deleted " + path);
    }
}

int CDLDlg::RunPrompt(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen) {
    if (closing_ || !IsWindow()) return kPromptClosed;
    if (!prompt.CreatePrompt(m_hWnd, title)) return prompt.GetResult();
    prompt.CenterWindow(m_hWnd);
    if (behindFullScreen) {
        // A full-screen program (a game, a film) is not interrupted: the prompt waits below.
        bool below = IsFullScreenAppActive() != FALSE;
        UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | (below ? SWP_NOACTIVATE : 0);
        prompt.SetWindowPos(below ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0, flags);
    }
    Trace(L"prompt " + prompt.GetMessageText());
    int result = RunCreatedPromptModal(prompt, m_hWnd);
    Trace(L"prompt-result " + std::to_wstring(result));
    // The window may have been told to quit while the prompt ran: nothing more happens then.
    return closing_ ? kPromptClosed : result;
}
