#include <gtest/gtest.h>

#include <array>

#include "workflow/ButtonModes.h"
#include "workflow/DownloadFigures.h"
#include "workflow/WorkflowState.h"

namespace {

using Figures = std::array<uint64_t, 4>;  // total, done, speed, percent

Figures Shown(const ShownFigures& s) { return {s.total, s.done, s.speed, s.percent}; }

}  // namespace

// Readings below start as {package, completed files, main task done[, its speed or size]}.
TEST(TickFigures, WithoutCompanionOnlyThePackageCounts) {
    TickReading r{1000, 200, 300, 50};
    r.companionSize = 5000;  // ignored: no companion task
    EXPECT_EQ(Shown(ComputeTickFigures(r)), (Figures{1000, 500, 50, 50}));
}

TEST(TickFigures, CompanionAddsItsSizeSpeedAndBytes) {
    TickReading r{1000, 0, 0};
    r.companionActive = true;
    r.companionSize = 1000;
    r.companionDone = 500;
    r.companionSpeed = 70;
    EXPECT_EQ(Shown(ComputeTickFigures(r)), (Figures{2000, 500, 70, 25}));
    r.companionFinished = true;  // a finished companion counts whole
    EXPECT_EQ(ComputeTickFigures(r).done, 1000u);
}

TEST(TickFigures, AFileFinishedThisTickIsCountedOnceAndEmptyTotalShowsZero) {
    TickReading r{1000, 600, 600};  // completed already includes the file that just ended
    r.fileFinishedThisTick = true;
    EXPECT_EQ(ComputeTickFigures(r).done, 600u);
    TickReading empty;
    EXPECT_EQ(ComputeTickFigures(empty).percent, 0u);
}

TEST(RefreshFigures, OneFilePackageShowsTheTaskBytesOnly) {
    RefreshReading r{1000, 0, 250, 1000};
    r.packageFileCount = 1;
    r.pendingCount = 1;
    RefreshFigures f = ComputeRefreshFigures(r);
    EXPECT_TRUE(f.showSizes);
    EXPECT_EQ(f.done, 250u);
    EXPECT_EQ(f.percent, 25u);
    r.mainSize = 0;  // the engine does not know the size yet
    EXPECT_EQ(ComputeRefreshFigures(r).percent, 0u);
}

TEST(RefreshFigures, SeveralFilesAddCompletedBytesAndCompanionStaysOutOfThePercent) {
    RefreshReading r{3000, 2000, 500, 1000};
    r.companionTicked = true;
    r.companionSize = 1000;
    r.companionDone = 1000;
    r.packageFileCount = 3;
    r.pendingCount = 1;
    RefreshFigures f = ComputeRefreshFigures(r);
    EXPECT_EQ(f.total, 4000u);
    EXPECT_EQ(f.done, 3500u);
    EXPECT_EQ(f.percent, 83u);
    r.fileFinished = true;  // the last file ended: completed bytes alone
    EXPECT_EQ(ComputeRefreshFigures(r).done, 2000u);
    RefreshReading none;
    EXPECT_FALSE(ComputeRefreshFigures(none).showSizes);
}

TEST(ButtonModes, EachModeShowsItsButtonAndOthersShowNone) {
    EXPECT_EQ(ActionButtonOfMode(kModeDownload), 10u);
    EXPECT_EQ(ActionButtonOfMode(kModeResume), 11u);
    EXPECT_EQ(ActionButtonOfMode(kModePause), 12u);
    EXPECT_EQ(ActionButtonOfMode(kModeInstall), 18u);
    EXPECT_EQ(ActionButtonOfMode(kModeRedownload), 20u);
    EXPECT_EQ(ActionButtonOfMode(5), 0u);
    EXPECT_EQ(ActionButtonOfMode(-1), 0u);
    EXPECT_EQ(ButtonModeOfInitialState(kInitialNothing), kModeDownload);
    EXPECT_EQ(ButtonModeOfInitialState(kInitialPartial), kModeResume);
    EXPECT_EQ(ButtonModeOfInitialState(kInitialComplete), kModeInstall);
    EXPECT_EQ(ButtonModeOfInitialState(kInitialSomeFiles), kModeResume);
}

TEST(WorkflowState, PackageSetsTotalsAndTheMd5ListAndPendingShrinksFromTheFront) {
    CWorkflowState state;
    std::deque<PackageFile> files(3);
    files[0] = {100, L"http://h/a.bin", L"aa", L""};
    files[1] = {200, L"http://h/b.bin", L"bb", L""};
    files[2] = {300, L"http://h/c.bin", L"cc", L""};
    state.SetPackage(files);
    EXPECT_EQ(state.TotalBytes(), 600u);
    EXPECT_EQ(state.CompletedBytes(), 0u);
    EXPECT_EQ(state.Md5List(), L"aa,bb,cc");
    EXPECT_EQ(state.PendingCount(), 3u);
    state.PopPending();
    EXPECT_EQ(state.PendingFront().link, L"http://h/b.bin");
    state.PopPending();
    state.PopPending();
    state.PopPending();  // popping an empty list is harmless
    EXPECT_TRUE(state.PendingEmpty());
    EXPECT_TRUE(state.PendingFront().link.empty());
}
