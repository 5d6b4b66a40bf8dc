#include "workflow/ProgressTick.h"

TickPlan CTickPlanner::Plan(const TickFacts& facts, const std::function<bool()>& online) {
    TickPlan plan;
    bool active = facts.companionTicked && facts.companionTaskExists;
    bool wasFinished = companion_.Finished();
    if (companion_.Update(active, facts.companion.speed, facts.companion.state) && !wasFinished) {
        plan.companionEnded = true;
        plan.installCompanion = facts.companion.state == 1 && !companionInstalled_;
        companionInstalled_ = companionInstalled_ || plan.installCompanion;
    }

    TickReading reading;
    reading.totalBytes = facts.totalBytes;
    reading.completedBytes = facts.completedBytes;
    reading.mainDone = facts.main.done;
    reading.mainSpeed = facts.main.speed;
    reading.fileFinishedThisTick = facts.fileFinishedThisTick;
    reading.companionActive = active;
    reading.companionFinished = companion_.Finished();
    reading.companionSize = facts.companionSize;
    reading.companionDone = facts.companionDone;
    reading.companionSpeed = facts.companion.speed;
    plan.shown = ComputeTickFigures(reading);
    plan.saveCompanionSize = facts.companionTicked && !companion_.Finished();

    if (!facts.fileFinishedThisTick) {
        plan.stall = stall_.Tick(plan.shown.speed, plan.shown.speed != 0 || online());
    }
    if (facts.pendingEmpty) plan.shown.speed = 0;
    return plan;
}
