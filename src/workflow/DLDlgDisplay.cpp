// The download window's progress display outside the progress timer, and its trace.
#include "config/DownloaderConfig.h"
#include "workflow/DLDlg.h"
#include "workflow/DownloadFigures.h"
#include "workflow/WorkflowState.h"

void CDLDlg::RefreshProgress() {
    const CWorkflowState& workflow = *services_.workflow;
    TaskFigures main = engine_.Query(mainTask_);
    TaskFigures companion = engine_.Query(companionTask_);
    RefreshReading reading;
    reading.totalBytes = workflow.TotalBytes();
    reading.completedBytes = workflow.CompletedBytes();
    reading.mainDone = main.done;
    reading.mainSize = main.size;
    reading.companionTicked = CompanionTicked();
    reading.companionSize = CompanionSize(companion);
    reading.companionDone = CompanionDone(companion);
    reading.packageFileCount = services_.config->GetParts().size();
    reading.pendingCount = workflow.PendingCount();
    reading.fileFinished = fileFinished_;
    RefreshFigures figures = ComputeRefreshFigures(reading);
    if (figures.showSizes) view_.ShowSizes(figures.done, figures.total);
    view_.ShowPercent(figures.percent);
}

void CDLDlg::DrawBackground(HDC hdc, const RECT* rect) { view_.DrawBackground(hdc, rect); }

void CDLDlg::Trace(const std::wstring& line) const {
    if (options_.trace) options_.trace(line);
}
