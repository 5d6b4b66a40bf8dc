// Starting, pausing, resuming and ending the transfer of the package's files.
#include "config/DownloadFolder.h"
#include "config/DownloaderConfig.h"
#include "config/PackageFileName.h"
#include "config/ShellFolders.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "prompts/PromptFamily.h"
#include "transfer/FileIntegrity.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/FolderCheck.h"
#include "workflow/WorkflowState.h"

std::wstring CDLDlg::FileNameOf(const PackageFile& file) const {
    std::wstring name;
    PackageFileNameOf(file, &name);
    return name;
}

std::wstring CDLDlg::CurrentTargetPath() const {
    std::wstring name = FileNameOf(currentFile_);
    if (name.empty() || targetFolder_.empty()) return {};
    return targetFolder_ + name;
}

bool CDLDlg::AcquireTransferMutex() {
    if (ownsTransferMutex_) return true;
    DWORD waited = ::WaitForSingleObject(transferMutex_.Get(), INFINITE);
    ownsTransferMutex_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return ownsTransferMutex_;
}

void CDLDlg::ReleaseTransferMutex() {
    if (!ownsTransferMutex_) return;
    ownsTransferMutex_ = false;
    ::ReleaseMutex(transferMutex_.Get());
}

bool CDLDlg::StartDownload(bool refill) {
    CWorkflowState& workflow = *services_.workflow;
    if (refill) workflow.ReplacePending(services_.config->GetParts());
    if (workflow.PendingEmpty()) return false;
    // Names come from the network: a package with a name that is no plain file name, or two
    // files of the same name, is refused before anything is written.
    if (!ArePackageFileNamesSafe(services_.config->GetParts())) {
        Trace(L"refused package");
        ShowDownloadFailed();
        ShowButtonMode(kModeDownload);
        return false;
    }
    workflow.SetRestoreFlag(false);
    checkFailed_ = false;
    if (!AcquireTransferMutex()) return false;
    SaveQuilletChoice(companionBox_.GetCheck() ? 1 : 0);
    currentFile_ = workflow.PendingFront();
    if (!RunFolderLoop()) {
        if (!closing_) ShowButtonMode(kModeDownload);
        ReleaseTransferMutex();
        return false;
    }
    ShowTargetFolder();
    ShowFolderLinks(true);
    std::wstring target = CurrentTargetPath();
    bool complete = false;
    if (FileExists(target.c_str()) && services_.config->GetSafeCheck() != L"0") {
        complete = CheckFileSize(target.c_str(), currentFile_.size) &&
                   CheckFileMd5(target.c_str(), currentFile_.md5);
    }
    SaveDownloadFolder(targetFolder_);
    if (!complete) {
        StartTransfer(true);
        return true;
    }
    // Already there and valid: this file needs no transfer.
    workflow.AddCompletedBytes(currentFile_.size);
    bool last = workflow.PendingCount() == 1;
    workflow.PopPending();
    ReleaseTransferMutex();
    if (last) {
        ShowButtonMode(kModeInstall);
        progress_.SetPos(100);
        uint64_t total = workflow.TotalBytes() + CompanionSize(engine_.Query(companionTask_));
        FormatSizePair(total, total);
    }
    return true;
}

bool CDLDlg::RunFolderLoop() {
    std::deque<PackageFile> parts = services_.config->GetParts();
    const CWorkflowState& workflow = *services_.workflow;
    FolderRequest request;
    request.folder = targetFolder_;
    request.fileName = FileNameOf(currentFile_);
    request.needsLargeFiles = HasFileOverFatLimit(parts);
    uint64_t total = workflow.TotalBytes();
    uint64_t completed = workflow.CompletedBytes();
    request.requiredBytes = total > completed ? total - completed : 0;
    CSystemFolderFacts facts;
    for (bool first = true;; first = false) {
        if (!first && !ChooseFolder(&request.folder)) return false;
        if (request.folder.empty()) continue;
        FolderVerdict verdict = CheckDownloadFolder(facts, request);
        if (verdict == FolderVerdict::kAccepted) break;
        Trace(L"refused " + std::to_wstring(static_cast<int>(verdict)));
        if (ShowDirErrPrompt(FolderRefusalText(verdict)) != kPromptExtraButton) return false;
    }
    targetFolder_ = WithTrailingBackslash(request.folder);
    return true;
}

bool CDLDlg::ChooseFolder(std::wstring* folder) {
    if (closing_) return false;
    if (options_.chooseFolder) return options_.chooseFolder(m_hWnd, folder);
    return BrowseForFolder(m_hWnd, folder);
}

int CDLDlg::ShowDirErrPrompt(const std::wstring& text) {
    CDirErrDlg prompt;
    prompt.SetMessage(text);
    return RunPrompt(prompt, nullptr, false);
}

void CDLDlg::StartTransfer(bool newMainTask) {
    KillTimer(0);
    if (newMainTask) {
        mainTask_ = engine_.Create(m_hWnd, GameTaskUrl(currentFile_.link, currentFile_.md5),
                                   CurrentTargetPath());
    }
    companionBox_.Enable(FALSE);
    bool waitForCompanion = CompanionTicked() && StartCompanionTask();
    if (!waitForCompanion) {
        companion_.Skip();
        engine_.Start(mainTask_);
    }
    stall_.Reset();
    SetTimer(0, 1000);
    ShowButtonMode(kModePause);
}

void CDLDlg::RecreateTasks() {
    if (CompanionActive() && !companion_.Finished()) {
        companion_.Begin();
        engine_.Stop(companionTask_);
        companionTask_ = engine_.Create(nullptr, services_.config->GetQuilletDownloaderLink(),
                                        CompanionTarget());
    }
    // The same target with the plain link: the engine keeps the partial file and its record.
    engine_.Stop(mainTask_);
    mainTask_ = engine_.Create(nullptr, currentFile_.link, CurrentTargetPath());
}

void CDLDlg::ResumeTransfer() {
    // A companion that has finished is never started again: the game file goes on instead.
    if (CompanionActive() && !companion_.Finished()) {
        engine_.Start(companionTask_);
    } else {
        engine_.Start(mainTask_);
    }
    SetTimer(0, 1000);
    ShowButtonMode(kModePause);
}

void CDLDlg::PauseTransfer() {
    engine_.Stop(companionTask_);
    engine_.Stop(mainTask_);
    KillTimer(0);
    ShowButtonMode(kModeResume);
}

void CDLDlg::ShutdownEngine() {
    engine_.Stop(companionTask_);
    engine_.Stop(mainTask_);
    KillTimer(0);
    engine_.Uninit();
}

void CDLDlg::ShowDownloadFailed() {
    CDownLoadFailedDlg prompt;
    prompt.SetMessage(L"下载失败，更多帮助，请点击反馈按钮");
    int result = RunPrompt(prompt, nullptr, true);
    if (closing_) return;
    ShowButtonMode(kModeRedownload);
    StopWorker();
    if (result == kPromptExtraButton) SendMessage(WM_COMMAND, 17, 0);
}

void CDLDlg::StopWorker() { worker_.Stop(); }

void CDLDlg::StartWorker() {
    if (closing_) return;
    worker_.Start(m_hWnd, transferMutex_.Get(), services_.workflow);
}
