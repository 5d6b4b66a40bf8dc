// Where an earlier run stopped, verification of finished files, installation, opening the
// folder, re-download, and running the prompts over the window.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include "config/DownloadFolder.h"
#include "config/DownloaderConfig.h"
#include "config/ShellFolders.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "probes/ScreenProbes.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/InstallGameDlg.h"
#include "prompts/PromptFamily.h"
#include "prompts/PromptRunner.h"
#include "transfer/FileIntegrity.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DownloadFigures.h"
#include "workflow/FolderCheck.h"
#include "workflow/ProgressFormat.h"
#include "workflow/WorkflowState.h"

namespace {

constexpr UINT kOpenFolderCommand = 16;
constexpr UINT kInstallCommand = 18;
constexpr UINT kRedownloadCommand = 20;

// GameStart names a program inside the download folder; a path that leaves it is refused.
bool IsInsideFolderPath(const std::wstring& relative) {
    if (relative.empty() || relative[0] == L'\\' || relative[0] == L'/') return false;
    if (relative.find(L':') != std::wstring::npos) return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = relative.size();
        if (relative.compare(start, end - start, L"..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

int CDLDlg::DetectInitialState() {
    // Restoring an earlier run comes later; for now every start is a fresh one.
    return kInitialNothing;
}

void CDLDlg::EnterInitialState(int state) {
    if (state != kInitialNothing) return;
    ResetStateFile();
    std::deque<PackageFile> parts = services_.config->GetParts();
    std::wstring folder;
    std::wstring firstName = parts.empty() ? std::wstring() : FileNameOf(parts.front());
    if (ChooseDownloadFolder(&folder, services_.workflow->TotalBytes(), firstName)) {
        targetFolder_ = WithTrailingBackslash(folder);
        ShowTargetFolder();
    }
    ShowFolderLinks(false);
    RefreshProgress();
}

bool CDLDlg::VerifyFile(const std::wstring& path) {
    CWorkflowState& workflow = *services_.workflow;
    bool last = workflow.PendingCount() == 1;
    if (last) progress_.SetPos(100);
    bool valid = CheckPackageFile(path.c_str(), currentFile_.size, currentFile_.md5,
                                  services_.config->GetSafeCheck());
    Trace(valid ? L"verified" : L"check failed");
    if (valid) RefreshProgress();
    engine_.Remove(mainTask_);
    mainTask_ = -1;
    if (!valid) {
        ShowCheckFailed();
        return false;
    }
    if (!last) return true;
    ShowButtonMode(kModeInstall);
    SendMessage(WM_COMMAND, kShowCommand, 0);
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
    const CWorkflowState& workflow = *services_.workflow;
    size_t pending = workflow.PendingCount();
    CFileCheckFailedDlg prompt;
    prompt.SetMessage(L"文件安全校验失败，更多帮助，请");
    prompt.SetMultiFileForm(pending >= 2 ? TRUE : FALSE);
    int result = RunPrompt(prompt, nullptr, false);
    if (closing_) return;
    StopWorker();
    if (result == kPromptExtraButton) {
        if (services_.config->GetParts().size() < 2 || pending < 2) {
            ShowButtonMode(kModeInstall);
            SendMessage(WM_COMMAND, kOpenFolderCommand, 0);
        } else {
            SendMessage(WM_COMMAND, kRedownloadCommand, 0);
        }
    } else if (result == kPromptClosed || result == kPromptSecondButton) {
        ShowButtonMode(pending == 1 ? kModeInstall : kModeRedownload);
    }
}

void CDLDlg::OnInstallCommand() {
    std::deque<PackageFile> parts = services_.config->GetParts();
    std::wstring program;
    if (parts.size() < 2) {
        std::wstring name = parts.empty() ? std::wstring() : FileNameOf(parts.front());
        if (!name.empty()) program = targetFolder_ + name;
    } else if (IsInsideFolderPath(services_.config->GetGameStart())) {
        program = targetFolder_ + services_.config->GetGameStart();
    }
    if (!program.empty() && FileExists(program.c_str())) {
        Trace(L"install " + program);
        ::ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW);
        return;
    }
    if (parts.size() < 2) {
        CFileDamagedDlg prompt;
        prompt.SetMessage(L"下载文件被破坏，请重新下载!");
        if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton && !closing_) StopWorker();
    } else {
        CFileErrDlg prompt;
        prompt.SetMessage(L"安装文件错误!点击继续打开文件目录。");
        if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton && !closing_) {
            SendMessage(WM_COMMAND, kOpenFolderCommand, 0);
        }
    }
}

void CDLDlg::OnOpenFolderCommand() {
    if (targetFolder_.empty() || !FolderExists(targetFolder_.c_str())) {
        CDirOpenFailedDlg prompt;
        prompt.SetMessage(L"打开目录失败，目录不存在或已损坏！");
        RunPrompt(prompt, nullptr, false);
        return;
    }
    const CWorkflowState& workflow = *services_.workflow;
    if (!workflow.PendingEmpty()) {
        std::wstring file = targetFolder_ + FileNameOf(workflow.PendingFront());
        if (FileExists((file + L".P2P").c_str())) return OpenFolderAndSelect(file + L".P2P");
        if (FileExists(file.c_str())) return OpenFolderAndSelect(file);
    }
    ::ShellExecuteW(nullptr, L"open", targetFolder_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CDLDlg::OnRedownloadCommand() {
    CWorkflowState& workflow = *services_.workflow;
    std::deque<PackageFile> parts = services_.config->GetParts();
    workflow.ReplacePending(parts);
    workflow.SetCompletedBytes(0);
    progress_.SetPos(0);
    for (const PackageFile& part : parts) {
        std::wstring name = FileNameOf(part);
        if (!name.empty() && !targetFolder_.empty()) ::DeleteFileW((targetFolder_ + name).c_str());
    }
    // A new worker follows the fresh list.
    StopWorker();
    fileFinished_ = false;
    SendMessage(WM_COMMAND, kDownloadButtonId, 0);
}

void CDLDlg::DiscardPartialFiles(const std::wstring& folder) {
    if (folder.empty() || !FolderExists(folder.c_str())) return;
    std::wstring base = WithTrailingBackslash(folder);
    for (const PackageFile& part : services_.config->GetParts()) {
        std::wstring name = FileNameOf(part);
        if (name.empty()) continue;
        for (const wchar_t* suffix : {L"", L".P2P", L".P2P.rec"}) {
            std::wstring path = base + name + suffix;
            if (FileExists(path.c_str())) ::DeleteFileW(path.c_str());
        }
    }
}

int CDLDlg::RunPrompt(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen) {
    if (closing_ || !IsWindow()) return kPromptClosed;
    if (!prompt.CreatePrompt(m_hWnd, title)) return prompt.GetResult();
    prompt.CenterWindow(m_hWnd);
    if (behindFullScreen && IsFullScreenAppActive()) {
        prompt.SetWindowPos(HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    Trace(L"prompt " + prompt.GetMessageText());
    int result = RunCreatedPromptModal(prompt, m_hWnd);
    Trace(L"prompt-result " + std::to_wstring(result));
    // The window may have been told to quit while the prompt ran: nothing more happens then.
    return closing_ ? kPromptClosed : result;
}
