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
#include "workflow/RestoreRules.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

namespace {

// Starts the game's installer; false when nothing started. A program that was written a
// moment ago may still be held (a virus scanner reading it), and a busy machine may fail a
// start now and then: one more try before the user is told. No shell error box: the
// window's own prompt says what happened.
bool StartInstaller(const std::wstring& program) {
    return ShellOpenWithoutErrorUi(program) || ShellOpenWithoutErrorUi(program);
}

}  // namespace

// Shown over the window. A prompt that may come while a full-screen program (a game, a film)
// runs is made hidden and placed first, then shown below that program without taking the
// focus from it, or on top otherwise.
int CDLDlg::ShowPromptOverWindow(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen) {
    HWND made = behindFullScreen ? prompt.CreateHiddenPrompt(m_hWnd, title)
                                 : prompt.CreatePrompt(m_hWnd, title);
    if (!made) return prompt.GetResult();
    prompt.CenterWindow(m_hWnd);
    if (behindFullScreen) {
        bool below = IsFullScreenAppActive() != FALSE;
        UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | (below ? SWP_NOACTIVATE : 0);
        prompt.SetWindowPos(below ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0, flags);
    }
    return RunCreatedPromptModal(prompt, m_hWnd);
}

bool CDLDlg::VerifyFile(const std::wstring& path) {
    CWorkflowState& workflow = *services_.workflow;
    bool last = workflow.PendingCount() == 1;
    if (last) view_.ShowPercent(100);
    // A signed file is hashed whole while the window goes on answering: the tray menu may
    // end the program meanwhile.
    CAnsweringDiskView disk(m_hWnd);
    bool valid = IsPackageFileValid(disk, path, currentFile_, services_.config->GetSafeCheck());
    if (closing_) return valid;
    Trace(valid ? L"verified" : L"check failed");
    if (!valid && IsSignedFile(currentFile_)) {
        RefuseUnsignedFile(path);
        return false;
    }
    if (!valid) {
        checkFailed_ = true;
        engine_.Remove(mainTask_);
        mainTask_ = kNoTask;
        ShowCheckFailed();
        return false;
    }
    RefreshProgress();
    if (last) {
        view_.ShowButtonMode(kModeInstall);
        // Asked in front of the user even when the window waits in the notification area.
        SendMessage(WM_COMMAND, kShowCommand, 0);
    }
    engine_.Remove(mainTask_);
    mainTask_ = kNoTask;
    if (!last || closing_) return true;
    CInstallGameDlg prompt;
    prompt.SetMessage(CInstallGameDlg::MessageFor(services_.config->GetGameName()));
    int result = RunPrompt(prompt, L"DownloadFinished", true);
    if (closing_) return true;
    if (result == kPromptExtraButton) PostMessage(WM_COMMAND, kInstallCommand, 0);
    view_.ShowButtonMode(kModeInstall);
    SendClientAppReport(L"statLogMuldownMd5", true);
    return true;
}

// A file that is not the one the publisher signed is never left where it could be started:
// it goes, and the download-failed prompt offers to fetch it again.
void CDLDlg::RefuseUnsignedFile(const std::wstring& path) {
    Trace(L"not as signed " + path);
    checkFailed_ = true;
    engine_.Remove(mainTask_);
    mainTask_ = kNoTask;
    if (::DeleteFileW(path.c_str())) Trace(L"deleted " + path);
    ShowDownloadFailed();
}

void CDLDlg::ShowCheckFailed() {
    size_t pending = services_.workflow->PendingCount();
    CFileCheckFailedDlg prompt;
    prompt.SetMessage(kCheckFailedText);
    prompt.SetMultiFileForm(pending >= 2 ? TRUE : FALSE);
    int result = RunPrompt(prompt, nullptr, false);
    if (closing_) return;
    CheckFailedOutcome outcome =
        DecideCheckFailed(result, services_.config->GetParts().size(), pending);
    if (outcome.stopWorker) StopWorker();
    if (outcome.buttonMode >= 0) view_.ShowButtonMode(outcome.buttonMode);
    if (outcome.command != 0) SendMessage(WM_COMMAND, outcome.command, 0);
}

void CDLDlg::OnInstallCommand() {
    std::deque<PackageFile> parts = services_.config->GetParts();
    CDiskFolderView disk;
    InstallPlan plan =
        PlanInstall(disk, targetFolder_, parts, services_.config->GetGameStart(), checkFailed_);
    if (plan.problem == InstallProblem::kNone) {
        Trace(L"install " + plan.program);
        if (options_.openProgram ? options_.openProgram(plan.program)
                                 : StartInstaller(plan.program)) {
            return;
        }
        // Not a program this system runs, or not ours to run: the file error's way out,
        // the folder, where the user can see the file and start it by hand.
        Trace(L"install failed " + std::to_wstring(::GetLastError()));
    }
    if (plan.problem == InstallProblem::kDamaged) {
        ShowDamagedFile();
    } else {
        CFileErrDlg prompt;
        prompt.SetMessage(kFileErrorText);
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
            OpenInShell(plan.path, true);
            break;
        case OpenFolderAction::kOpen:
            Trace(L"open " + plan.path);
            OpenInShell(plan.path, false);
            break;
        default: {
            CDirOpenFailedDlg prompt;
            prompt.SetMessage(kFolderOpenFailedText);
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
    view_.ShowPercent(0);
    // The finished files go; a partial file stays, the engine takes it up again.
    DeletePackageFiles(targetFolder_, false);
    checkFailed_ = false;
    // A new worker follows the fresh list.
    StopWorker();
    fileFinished_ = false;
    SendMessage(WM_COMMAND, kStartCommand, 0);
}

// A one-file package whose file is missing or failed its check: the prompt's button
// downloads it again.
void CDLDlg::ShowDamagedFile() {
    CFileDamagedDlg prompt;
    prompt.SetMessage(kFileDamagedText);
    CheckFailedOutcome outcome = DecideDamagedFile(RunPrompt(prompt, nullptr, false));
    if (closing_) return;
    if (outcome.stopWorker) {
        engine_.Remove(mainTask_);
        mainTask_ = kNoTask;
        StopWorker();
    }
    if (outcome.command != 0) SendMessage(WM_COMMAND, outcome.command, 0);
}

void CDLDlg::OpenInShell(const std::wstring& path, bool select) {
    if (options_.openInShell) {
        options_.openInShell(path, select);
    } else if (select) {
        OpenFolderAndSelect(path);
    } else {
        ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
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
    Trace(L"prompt " + prompt.GetMessageText());
    int result = options_.runPrompt ? options_.runPrompt(prompt)
                                    : ShowPromptOverWindow(prompt, title, behindFullScreen);
    Trace(L"prompt-result " + std::to_wstring(result));
    // The window may have been told to quit while the prompt ran: nothing more happens then.
    return closing_ ? kPromptClosed : result;
}
