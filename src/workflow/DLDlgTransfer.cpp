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
#include "workflow/DiskFolderView.h"
#include "workflow/FolderCheck.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

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

bool CDLDlg::StartDownload(bool refill) {
    CWorkflowState& workflow = *services_.workflow;
    if (refill) workflow.ReplacePending(services_.config->GetParts());
    if (workflow.PendingEmpty()) return false;
    // Names come from the network: a package with a name that is no plain file name, or two
    // files of the same name, is refused before anything is written.
    if (!ArePackageFileNamesSafe(services_.config->GetParts())) {
        Trace(L"refused package");
        ShowDownloadFailed();
        view_.ShowButtonMode(kModeDownload);
        return false;
    }
    workflow.SetRestoreFlag(false);
    checkFailed_ = false;
    if (!turn_.Take()) return false;
    state_.SaveQuilletChoice(view_.CompanionBoxTicked() ? 1 : 0);
    currentFile_ = workflow.PendingFront();
    if (!RunFolderLoop()) {
        if (!closing_) view_.ShowButtonMode(kModeDownload);
        turn_.Give();
        return false;
    }
    view_.ShowTargetFolder(targetFolder_);
    view_.ShowFolderLinks(true);
    CAnsweringDiskView disk(m_hWnd);  // a signed file found there is hashed whole
    bool complete = IsFoundFileComplete(disk, CurrentTargetPath(), currentFile_,
                                        services_.config->GetSafeCheck());
    if (closing_) return false;  // the tray menu ended the program meanwhile
    state_.SaveDownloadFolder(targetFolder_);
    if (!complete) {
        if (!CreateGameTask()) return false;
        StartTransfer();
        return true;
    }
    // Already there and valid: this file needs no transfer.
    workflow.AddCompletedBytes(currentFile_.size);
    bool last = workflow.PendingCount() == 1;
    workflow.PopPending();
    turn_.Give();
    if (last) {
        view_.ShowButtonMode(kModeInstall);
        view_.ShowPercent(100);
        uint64_t total = workflow.TotalBytes() + CompanionSize(engine_.Query(companionTask_));
        view_.ShowSizes(total, total);
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

// A task the engine refuses (a link it cannot fetch, an engine that did not load) would
// never move: it is a failed download at once, not one waited out by the stall rounds.
bool CDLDlg::CreateGameTask() {
    mainTask_ = engine_.Create(m_hWnd, GameTaskUrl(currentFile_.link, currentFile_.md5),
                               CurrentTargetPath());
    if (mainTask_ != kNoTask) return true;
    Trace(L"task refused");
    view_.ShowButtonMode(kModePause);
    ShowDownloadFailed();
    turn_.Give();
    return false;
}

void CDLDlg::StartTransfer() {
    KillTimer(kProgressTimer);
    view_.EnableCompanionBox(false);
    bool waitForCompanion = CompanionTicked() && StartCompanionTask();
    if (!waitForCompanion) {
        planner_.Companion().Skip();
        engine_.Start(mainTask_);
    }
    planner_.Stall().Reset();
    SetTimer(kProgressTimer, 1000);
    view_.ShowButtonMode(kModePause);
}

void CDLDlg::RecreateTasks() {
    if (CompanionActive() && !planner_.Companion().Finished()) {
        planner_.Companion().Begin();
        engine_.Stop(companionTask_);
        companionTask_ = CreateCompanionTask(nullptr);
    }
    // The same target with the plain link: the engine keeps the partial file and its record.
    engine_.Stop(mainTask_);
    mainTask_ = engine_.Create(nullptr, currentFile_.link, CurrentTargetPath());
}

bool CDLDlg::ResumeTransfer() {
    // A companion that has finished is never started again: the game file goes on instead.
    if (CompanionActive() && !planner_.Companion().Finished()) {
        engine_.Start(companionTask_);
    } else if (mainTask_ == kNoTask) {
        // The engine refused the file's task when it was made again (restored, retried).
        Trace(L"task refused");
        view_.ShowButtonMode(kModePause);
        ShowDownloadFailed();
        turn_.Give();
        return false;
    } else {
        engine_.Start(mainTask_);
    }
    SetTimer(kProgressTimer, 1000);
    view_.ShowButtonMode(kModePause);
    return true;
}

void CDLDlg::PauseTransfer() {
    engine_.Stop(companionTask_);
    engine_.Stop(mainTask_);
    KillTimer(kProgressTimer);
    view_.ShowButtonMode(kModeResume);
}

void CDLDlg::ShutdownEngine() {
    engine_.Stop(companionTask_);
    engine_.Stop(mainTask_);
    KillTimer(kProgressTimer);
    engine_.Uninit();
}

void CDLDlg::ShowDownloadFailed() {
    CDownLoadFailedDlg prompt;
    prompt.SetMessage(kDownloadFailedText);
    int result = RunPrompt(prompt, nullptr, true);
    if (closing_) return;
    view_.ShowButtonMode(kModeRedownload);
    StopWorker();
    if (result == kPromptExtraButton) SendMessage(WM_COMMAND, kFeedbackCommand, 0);
}

void CDLDlg::StopWorker() { worker_.Stop(); }

void CDLDlg::StartWorker() {
    if (closing_) return;
    worker_.Start(m_hWnd, turn_.Handle(), services_.workflow);
}
