// The progress timer (0), the network wait (1) and the file wait (2).
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "transfer/NetworkState.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DownloadFigures.h"
#include "workflow/WorkflowState.h"

void CDLDlg::OnProgressTimer() {
    CWorkflowState& workflow = *services_.workflow;
    TaskFigures main = engine_.Query(mainTask_);
    TaskFigures companion = engine_.Query(companionTask_);
    bool finishedThisTick = false;
    if (main.state != 0) {
        fileFinished_ = true;
        workflow.AddCompletedBytes(main.done);
        FileOutcome outcome = FinishCurrentFile(main);
        if (outcome == kFileWaiting) return;  // the file wait ends this file
        if (outcome == kFileFailed) {
            ReleaseTransferMutex();
            return;
        }
        workflow.PopPending();
        ReleaseTransferMutex();
        finishedThisTick = true;
    }
    bool wasFinished = companion_.Finished();
    if (companion_.Update(CompanionActive(), companion.speed, companion.state) && !wasFinished) {
        OnCompanionFinished(companion);
    }

    TickReading reading;
    reading.totalBytes = workflow.TotalBytes();
    reading.completedBytes = workflow.CompletedBytes();
    reading.mainDone = main.done;
    reading.mainSpeed = main.speed;
    reading.fileFinishedThisTick = finishedThisTick;
    reading.companionActive = CompanionActive();
    reading.companionFinished = companion_.Finished();
    reading.companionSize = CompanionSize(companion);
    reading.companionDone = CompanionDone(companion);
    reading.companionSpeed = companion.speed;
    ShownFigures shown = ComputeTickFigures(reading);
    if (!companion_.Finished() && CompanionTicked()) SaveQuilletSize(CompanionSize(companion));

    if (!finishedThisTick) {
        // The connectivity probe is slow; only a silent second needs its answer.
        bool online = shown.speed != 0 || IsNetworkConnected() != FALSE;
        HandleStall(stall_.Tick(shown.speed, online));
        if (closing_) return;
    }
    if (workflow.PendingEmpty()) shown.speed = 0;
    ShowSpeed(shown.speed);
    progress_.SetPos(static_cast<int>(shown.percent));
    FormatSizePair(shown.done, shown.total);
}

void CDLDlg::HandleStall(CStallWatch::Action action) {
    switch (action) {
        case CStallWatch::kRetry:
            Trace(L"stall retry");
            PauseTransfer();
            RecreateTasks();
            ResumeTransfer();
            break;
        case CStallWatch::kGiveUp:
            Trace(L"stall give-up");
            PauseTransfer();
            KillTimer(0);
            ShowDownloadFailed();
            // The file never ended: let a later start (re-download) take the mutex again.
            ReleaseTransferMutex();
            break;
        case CStallWatch::kWaitForNetwork:
            Trace(L"offline");
            if (companionTask_ != -1 && !companion_.Finished()) engine_.Stop(companionTask_);
            engine_.Stop(mainTask_);
            SetTimer(1, 1000);
            KillTimer(0);
            break;
        default:
            break;
    }
}

void CDLDlg::OnNetworkTimer() {
    if (!IsNetworkConnected()) return;
    Trace(L"online");
    if (currentFile_.link.empty()) currentFile_ = services_.workflow->PendingFront();
    KillTimer(1);
    RecreateTasks();
    ResumeTransfer();
}

void CDLDlg::OnFileWaitTimer() {
    std::wstring path = CurrentTargetPath();
    switch (fileWait_.Tick(!path.empty() && FileExists(path.c_str()))) {
        case CFileWait::kVerify:
            KillTimer(2);
            EndCurrentFile(VerifyFile(path));
            break;
        case CFileWait::kGiveUp:
            // The engine said finished but the file never appeared: a failed download.
            KillTimer(2);
            Trace(L"file never appeared");
            ShowButtonMode(kModePause);
            ShowDownloadFailed();
            EndCurrentFile(false);
            break;
        default:
            break;
    }
}

void CDLDlg::EndCurrentFile(bool ok) {
    if (ok) services_.workflow->PopPending();
    ReleaseTransferMutex();
}

CDLDlg::FileOutcome CDLDlg::FinishCurrentFile(const TaskFigures& main) {
    KillTimer(0);
    ShowSpeed(0);
    if (main.state == 1) {
        std::wstring path = CurrentTargetPath();
        if (FileExists(path.c_str())) return VerifyFile(path) ? kFileDone : kFileFailed;
        fileWait_.Start();
        SetTimer(2, 1000);
        return kFileWaiting;
    }
    Trace(L"task failed " + std::to_wstring(main.state));
    ShowButtonMode(kModePause);
    ShowDownloadFailed();
    return kFileFailed;
}
