// The progress timer, the network wait and the file wait.
#include "probes/FileProbes.h"
#include "transfer/NetworkState.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/TransferDecisions.h"
#include "workflow/WorkflowState.h"

bool CDLDlg::IsOnline() const {
    return options_.isOnline ? options_.isOnline() : IsNetworkConnected() != FALSE;
}

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
            turn_.Give();
            return;
        }
        workflow.PopPending();
        turn_.Give();
        finishedThisTick = true;
    }

    TickFacts facts;
    facts.main = main;
    facts.companion = companion;
    facts.fileFinishedThisTick = finishedThisTick;
    facts.companionTicked = CompanionTicked();
    facts.companionTaskExists = companionTask_ != kNoTask;
    facts.totalBytes = workflow.TotalBytes();
    facts.completedBytes = workflow.CompletedBytes();
    facts.companionSize = CompanionSize(companion);
    facts.companionDone = CompanionDone(companion);
    facts.pendingEmpty = workflow.PendingEmpty();
    CarryOutTick(planner_.Plan(facts, [this] { return IsOnline(); }), companion);
}

void CDLDlg::CarryOutTick(const TickPlan& plan, const TaskFigures& companion) {
    if (plan.companionEnded) {
        Trace(L"companion finished " + std::to_wstring(companion.state));
        OnCompanionEnded(plan.installCompanion);
    }
    if (plan.saveCompanionSize) state_.SaveQuilletSize(CompanionSize(companion));
    HandleStall(plan.stall);
    if (closing_) return;
    view_.ShowSpeed(plan.shown.speed);
    view_.ShowPercent(plan.shown.percent);
    view_.ShowSizes(plan.shown.done, plan.shown.total);
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
            ShowDownloadFailed();
            // The file never ended: let a later start (re-download) take the turn again.
            turn_.Give();
            break;
        case CStallWatch::kWaitForNetwork:
            Trace(L"offline");
            if (companionTask_ != kNoTask && !planner_.Companion().Finished()) {
                engine_.Stop(companionTask_);
            }
            engine_.Stop(mainTask_);
            SetTimer(kNetworkWaitTimer, 1000);
            KillTimer(kProgressTimer);
            break;
        default:
            break;
    }
}

void CDLDlg::OnNetworkTimer() {
    if (!IsOnline()) return;
    Trace(L"online");
    KillTimer(kNetworkWaitTimer);
    if (userPaused_) return;  // the user paused meanwhile: resume goes on
    if (currentFile_.link.empty()) currentFile_ = services_.workflow->PendingFront();
    RecreateTasks();
    ResumeTransfer();
}

void CDLDlg::OnFileWaitTimer() {
    std::wstring path = CurrentTargetPath();
    switch (fileWait_.Tick(!path.empty() && FileExists(path.c_str()))) {
        case CFileWait::kVerify:
            KillTimer(kFileWaitTimer);
            EndCurrentFile(VerifyFile(path));
            break;
        case CFileWait::kGiveUp:
            // The engine said finished but the file never appeared: a failed download.
            KillTimer(kFileWaitTimer);
            Trace(L"file never appeared");
            view_.ShowButtonMode(kModePause);
            ShowDownloadFailed();
            EndCurrentFile(false);
            break;
        default:
            break;
    }
}

void CDLDlg::EndCurrentFile(bool ok) {
    if (ok) services_.workflow->PopPending();
    turn_.Give();
}

CDLDlg::FileOutcome CDLDlg::FinishCurrentFile(const TaskFigures& main) {
    KillTimer(kProgressTimer);
    view_.ShowSpeed(0);
    std::wstring path = CurrentTargetPath();
    switch (DecideFileEnd(main.state, !path.empty() && FileExists(path.c_str()))) {
        case FileEnd::kVerify:
            return VerifyFile(path) ? kFileDone : kFileFailed;
        case FileEnd::kWaitForFile:
            fileWait_.Start();
            SetTimer(kFileWaitTimer, 1000);
            return kFileWaiting;
        default:
            Trace(L"task failed " + std::to_wstring(main.state));
            view_.ShowButtonMode(kModePause);
            ShowDownloadFailed();
            return kFileFailed;
    }
}
