#include <gtest/gtest.h>

#include "workflow/TransferWatch.h"

namespace {

// Ticks `seconds` silent online seconds and returns the last action.
CStallWatch::Action SilentSeconds(CStallWatch& watch, unsigned seconds) {
    CStallWatch::Action last = CStallWatch::kKeepGoing;
    for (unsigned i = 0; i < seconds; ++i) last = watch.Tick(0, true);
    return last;
}

}  // namespace

TEST(StallWatch, RetriesAfterMoreThanTheLimitThenGivesUpOnTheFourthStall) {
    CStallWatch watch;  // the shipped 90 seconds, three retries
    EXPECT_EQ(SilentSeconds(watch, 90), CStallWatch::kKeepGoing);
    EXPECT_EQ(watch.Tick(0, true), CStallWatch::kRetry);
    EXPECT_EQ(watch.StalledSeconds(), 0u);
    EXPECT_EQ(SilentSeconds(watch, 91), CStallWatch::kRetry);
    EXPECT_EQ(SilentSeconds(watch, 91), CStallWatch::kRetry);
    EXPECT_EQ(watch.RetriesDone(), 3u);
    EXPECT_EQ(SilentSeconds(watch, 91), CStallWatch::kGiveUp);
    EXPECT_EQ(watch.RetriesDone(), 0u);
}

TEST(StallWatch, AnySecondWithSpeedResetsBothCounts) {
    CStallWatch watch(3, 3);
    EXPECT_EQ(SilentSeconds(watch, 4), CStallWatch::kRetry);
    EXPECT_EQ(SilentSeconds(watch, 3), CStallWatch::kKeepGoing);
    EXPECT_EQ(watch.Tick(1, true), CStallWatch::kKeepGoing);
    EXPECT_EQ(watch.StalledSeconds(), 0u);
    EXPECT_EQ(watch.RetriesDone(), 0u);
    // So three more stalls are allowed again before a failure.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(SilentSeconds(watch, 4), CStallWatch::kRetry);
    EXPECT_EQ(SilentSeconds(watch, 4), CStallWatch::kGiveUp);
}

TEST(StallWatch, OfflineWaitsWithoutLimitAndWithoutCounting) {
    CStallWatch watch(3, 1);
    EXPECT_EQ(SilentSeconds(watch, 2), CStallWatch::kKeepGoing);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(watch.Tick(0, false), CStallWatch::kWaitForNetwork);
    EXPECT_EQ(watch.StalledSeconds(), 2u);
    EXPECT_EQ(watch.Tick(0, true), CStallWatch::kKeepGoing);
    EXPECT_EQ(watch.Tick(0, true), CStallWatch::kRetry);
}

TEST(CompanionTracker, SixIdleSecondsGiveUpAndSpeedRestartsTheCount) {
    CCompanionTracker tracker;
    tracker.Begin();
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(tracker.Update(true, 0, 0));
    EXPECT_FALSE(tracker.Update(true, 100, 0));  // progress: the count starts over
    EXPECT_EQ(tracker.IdleSeconds(), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(tracker.Update(true, 0, 0));
    EXPECT_TRUE(tracker.Update(true, 0, 0));  // the sixth idle second in a row
    EXPECT_TRUE(tracker.Finished());
    EXPECT_FALSE(tracker.Update(true, 0, 0));  // reported once
}

TEST(CompanionTracker, EndsWhenTheTaskLeavesStateZeroAndIgnoresInactiveTicks) {
    CCompanionTracker tracker;
    tracker.Begin();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(tracker.Update(false, 0, 0));
    EXPECT_TRUE(tracker.Update(true, 5000, 1));
    tracker.Begin();
    EXPECT_TRUE(tracker.Update(true, 0, 2));
}

TEST(CompanionFigures, TickedOnlyAndPersistedSizeAsFallback) {
    EXPECT_EQ(CompanionShownSize(false, 500, 10485760), 0u);
    EXPECT_EQ(CompanionShownSize(true, 500, 10485760), 500u);
    EXPECT_EQ(CompanionShownSize(true, 0, 10485760), 10485760u);
    EXPECT_EQ(CompanionShownSize(true, 0, -1), 0u);
    EXPECT_EQ(CompanionShownDone(false, 7, 9), 0u);
    EXPECT_EQ(CompanionShownDone(true, 7, 9), 7u);
    EXPECT_EQ(CompanionShownDone(true, 0, 9), 9u);
}

TEST(FileWait, VerifiesAFileThatAppearsAndGivesUpAfterTheLimit) {
    CFileWait wait(3);
    wait.Start();
    EXPECT_EQ(wait.Tick(false), CFileWait::kWait);
    EXPECT_EQ(wait.Tick(true), CFileWait::kVerify);
    wait.Start();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(wait.Tick(false), CFileWait::kWait);
    EXPECT_EQ(wait.Tick(false), CFileWait::kGiveUp);
    CFileWait shipped;
    shipped.Start();
    int ticks = 0;
    while (shipped.Tick(false) == CFileWait::kWait) ++ticks;
    EXPECT_EQ(ticks, 30);
}
