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
    std::wstring saved = LoadDownloadFolder();
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

void CDLDlg::EnterPartialState() {
    ShowTargetFolder();
    RestoreCompanionBox(true);
    // The same target with the plain link: the engine takes up the partial file and its record.
    mainTask_ = engine_.Create(nullptr, currentFile_.link, CurrentTargetPath());
    if (CompanionTicked() && ClaimCompanionMutex()) {
        companionTask_ = engine_.Create(nullptr, services_.config->GetQuilletDownloaderLink(),
                                        CompanionTarget());
        companion_.Begin();
    } else {
        companion_.Skip();
    }
    PauseTransfer();
    ShowSpeed(0);
    ShowButtonMode(kModeResume);
    RefreshProgress();
}

void CDLDlg::EnterCompleteState() {
    ShowTargetFolder();
    RestoreCompanionBox(true);
    uint64_t total =
        services_.workflow->TotalBytes() + CompanionSize(engine_.Query(companionTask_));
    FormatSizePair(total, total);
    progress_.SetPos(100);
    ShowButtonMode(kModeInstall);
}

void CDLDlg::EnterSomeFilesState() {
    CWorkflowState& workflow = *services_.workflow;
    workflow.SetRestoreFlag(true);
    uint64_t completed = workflow.CompletedBytes();
    uint64_t total = workflow.TotalBytes();
    FormatSizePair(completed, total);
    progress_.SetPos(RestoredPercent(completed, total));
    currentFile_ = workflow.PendingFront();
    RestoreCompanionBox(false);
    ShowTargetFolder();
    ShowButtonMode(kModeResume);
}

void CDLDlg::RestoreCompanionBox(bool disable) {
    // The choice of the earlier run, unless the product has been installed since.
    bool chosen = IsQuilletChosen(companionBox_.GetCheck() != FALSE);
    if (chosen && IsQuilletInstalled()) chosen = false;
    companionBox_.SetCheck(chosen ? TRUE : FALSE);
    if (disable) companionBox_.Enable(FALSE);
}
