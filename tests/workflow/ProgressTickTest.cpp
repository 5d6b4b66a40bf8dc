#include <gtest/gtest.h>

#include "workflow/ProgressTick.h"

namespace {

// A companion download of 1000 bytes beside a package of 10000.
TickFacts CompanionTick(uint64_t speed, int state) {
    TickFacts facts;
    facts.companionTicked = true;
    facts.companionTaskExists = true;
    facts.companion.speed = speed;
    facts.companion.state = state;
    facts.companion.size = 1000;
    facts.companion.done = state == 1 ? 1000 : 400;
    facts.companionSize = 1000;
    facts.companionDone = facts.companion.done;
    facts.totalBytes = 10000;
    return facts;
}

bool Online() { return true; }

bool EndedWithoutInstalling(const TickPlan& plan) {
    return plan.companionEnded && !plan.installCompanion;
}

}  // namespace

TEST(TickPlanner, TheCompanionEndsOnceAndItsInstallerRunsOncePerRun) {
    CTickPlanner planner(90, 3, 5);
    planner.Companion().Begin();
    TickPlan running = planner.Plan(CompanionTick(500, 0), Online);
    EXPECT_FALSE(running.companionEnded);
    EXPECT_TRUE(running.saveCompanionSize);
    EXPECT_EQ(running.shown.total, 11000u);
    EXPECT_EQ(running.shown.done, 400u);

    TickPlan arrived = planner.Plan(CompanionTick(0, 1), Online);
    EXPECT_TRUE(arrived.companionEnded);
    EXPECT_TRUE(arrived.installCompanion);
    EXPECT_FALSE(arrived.saveCompanionSize);
    EXPECT_EQ(planner.Plan(CompanionTick(0, 1), Online).companionEnded, false);

    // The next file of the package: no companion is started, and the finished companion task
    // read again must not start its installer a second time.
    planner.Companion().Skip();
    EXPECT_TRUE(EndedWithoutInstalling(planner.Plan(CompanionTick(0, 1), Online)));
}

TEST(TickPlanner, ASilentOrFailedCompanionIsDroppedWithoutInstalling) {
    CTickPlanner silent(90, 3, 5);
    silent.Companion().Begin();
    for (int second = 0; second < 5; ++second) {
        EXPECT_FALSE(silent.Plan(CompanionTick(0, 0), Online).companionEnded) << second;
    }
    EXPECT_TRUE(EndedWithoutInstalling(silent.Plan(CompanionTick(0, 0), Online)));

    CTickPlanner failed(90, 3, 5);
    failed.Companion().Begin();
    EXPECT_TRUE(EndedWithoutInstalling(failed.Plan(CompanionTick(700, 2), Online)));
}

TEST(TickPlanner, SilentSecondsAskTheNetworkAndEndInARetryOrAWait) {
    CTickPlanner planner(2, 1, 5);
    int asked = 0;
    bool online = true;
    auto probe = [&] {
        ++asked;
        return online;
    };
    TickFacts moving;
    moving.totalBytes = 100;
    moving.main.speed = 10;
    EXPECT_EQ(planner.Plan(moving, probe).stall, CStallWatch::kKeepGoing);
    EXPECT_EQ(asked, 0);  // the slow probe only for a silent second

    TickFacts silent;
    silent.totalBytes = 100;
    EXPECT_EQ(planner.Plan(silent, probe).stall, CStallWatch::kKeepGoing);
    EXPECT_EQ(planner.Plan(silent, probe).stall, CStallWatch::kKeepGoing);
    EXPECT_EQ(planner.Plan(silent, probe).stall, CStallWatch::kRetry);
    for (int i = 0; i < 2; ++i) planner.Plan(silent, probe);
    EXPECT_EQ(planner.Plan(silent, probe).stall, CStallWatch::kGiveUp);
    online = false;
    EXPECT_EQ(planner.Plan(silent, probe).stall, CStallWatch::kWaitForNetwork);

    // The second a file ends is no stall, and an empty list shows no speed.
    TickFacts ended = moving;
    ended.fileFinishedThisTick = true;
    ended.pendingEmpty = true;
    TickPlan plan = planner.Plan(ended, probe);
    EXPECT_EQ(plan.stall, CStallWatch::kKeepGoing);
    EXPECT_EQ(plan.shown.speed, 0u);
}
