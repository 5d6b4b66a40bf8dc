#include "workflow/DownloadFigures.h"

#include "workflow/ProgressFormat.h"

ShownFigures ComputeTickFigures(const TickReading& r) {
    ShownFigures shown;
    uint64_t mainPart = r.fileFinishedThisTick ? 0 : r.mainDone;
    shown.total = r.totalBytes;
    shown.speed = r.mainSpeed;
    shown.done = r.completedBytes + mainPart;
    if (r.companionActive) {
        shown.total += r.companionSize;
        shown.speed += r.companionSpeed;
        shown.done += r.companionFinished ? r.companionSize : r.companionDone;
    }
    shown.percent = PercentOf(shown.done, shown.total);
    return shown;
}

RefreshFigures ComputeRefreshFigures(const RefreshReading& r) {
    RefreshFigures figures;
    figures.total = r.totalBytes;
    uint64_t part = r.mainDone;
    if (r.companionTicked) {
        figures.total += r.companionSize;
        part += r.companionDone;
    }
    if (figures.total == 0) return figures;
    // The companion is not part of this percent: it follows the game package alone.
    figures.percent = r.mainSize == 0 ? 0 : PercentOf(r.completedBytes + r.mainDone, r.totalBytes);
    figures.showSizes = true;
    if (r.packageFileCount == 1) {
        figures.done = part;
        return figures;
    }
    if (r.fileFinished && r.pendingCount == 1) {
        figures.done = r.completedBytes;
        return figures;
    }
    figures.done = r.completedBytes + part;
    return figures;
}
