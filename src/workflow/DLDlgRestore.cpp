// Where an earlier run of this package's download stopped, decided when the window is built,
// and what the window shows for each case.
#include "config/DownloadFolder.h"
#include "config/DownloaderConfig.h"
#include "config/StateFile.h"
#include "probes/ProductProbes.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DiskFolderView.h"
#include "workflow/FolderCheck.h"
#include "workflow/RestoreRules.h"
#include "workflow/WorkflowState.h"

int CDLDlg::DetectInitialState() {
    CWorkflowState& workflow = *services_.workflow;
    std::deque<PackageFile> parts = services_.config->GetParts();
    std::wstring saved = state_.LoadDownloadFolder();
    CDiskFolderView disk;
    RestoredRun run = DetectRestoredRun(disk, saved, parts, services_.config->GetSafeCheck());
    if (run.discardSavedFolder) {
        Trace(L"discard " + run.targetFolder);
        DiscardPartialFiles(saved);
    }
    workflow.ReplacePending(parts);
    for (size_t i = 0; i < run.completedFiles; ++i) workflow.PopPending();
    workflow.SetCompletedBytes(run.completedBytes);
    currentFile_ = run.currentFile;
    if (!run.targetFolder.empty()) targetFolder_ = run.targetFolder;
    Trace(L"restored " + std::to_wstring(run.state) + L" " + std::to_wstring(run.completedBytes));
    return run.state;
}

void CDLDlg::EnterInitialState(int state) {
    switch (state) {
        case kInitialPartial:
            EnterPartialState();
            break;
        case kInitialComplete:
            EnterCompleteState();
            break;
        case kInitialSomeFiles:
            EnterSomeFilesState();
            break;
        default:
            EnterFreshState();
            break;
    }
}

void CDLDlg::EnterFreshState() {
    // Nothing of an earlier run is used: its settings start over too.
    state_.Reset();
    std::deque<PackageFile> parts = services_.config->GetParts();
    std::wstring folder;
    std::wstring firstName = parts.empty() ? std::wstring() : FileNameOf(parts.front());
    if (ChooseDownloadFolder(state_, services_.workflow->TotalBytes(), firstName, &folder)) {
        targetFolder_ = WithTrailingBackslash(folder);
        view_.ShowTargetFolder(targetFolder_);
    }
    view_.ShowFolderLinks(false);
    RefreshProgress();
}

void CDLDlg::EnterPartialState() {
    view_.ShowTargetFolder(targetFolder_);
    RestoreCompanionBox(true);
    // The same target with the plain link: the engine takes up the partial file and its record.
    mainTask_ = engine_.Create(nullptr, currentFile_.link, CurrentTargetPath());
    if (CompanionTicked() && ClaimCompanionMutex()) {
        companionTask_ = CreateCompanionTask(nullptr);
        if (companionTask_ == kNoTask) ReleaseCompanionMutex();
    }
    if (companionTask_ != kNoTask) {
        planner_.Companion().Begin();
    } else {
        planner_.Companion().Skip();
    }
    PauseTransfer();
    view_.ShowSpeed(0);
    view_.ShowButtonMode(kModeResume);
    RefreshProgress();
}

void CDLDlg::EnterCompleteState() {
    view_.ShowTargetFolder(targetFolder_);
    RestoreCompanionBox(true);
    uint64_t total =
        services_.workflow->TotalBytes() + CompanionSize(engine_.Query(companionTask_));
    view_.ShowSizes(total, total);
    view_.ShowPercent(100);
    view_.ShowButtonMode(kModeInstall);
}

void CDLDlg::EnterSomeFilesState() {
    CWorkflowState& workflow = *services_.workflow;
    workflow.SetRestoreFlag(true);
    uint64_t completed = workflow.CompletedBytes();
    uint64_t total = workflow.TotalBytes();
    view_.ShowSizes(completed, total);
    view_.ShowPercent(RestoredPercent(completed, total));
    currentFile_ = workflow.PendingFront();
    RestoreCompanionBox(false);
    view_.ShowTargetFolder(targetFolder_);
    view_.ShowButtonMode(kModeResume);
}

void CDLDlg::RestoreCompanionBox(bool disable) {
    // The choice of the earlier run, unless the product has been installed since.
    bool chosen = state_.IsQuilletChosen(view_.CompanionBoxTicked());
    if (chosen && IsQuilletInstalled()) chosen = false;
    view_.SetCompanionBox(chosen);
    if (disable) view_.EnableCompanionBox(false);
}
