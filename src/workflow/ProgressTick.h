#pragma once
// One second of the progress timer, after the file-end step: whether the companion download
// has just ended (and may be installed), whether its size is kept for the next run, what a
// silent second means, and what the window shows. Portable.

#include <functional>

#include "workflow/DownloadFigures.h"
#include "workflow/TaskFigures.h"
#include "workflow/TransferWatch.h"

struct TickFacts {
    TaskFigures main;
    TaskFigures companion;
    bool fileFinishedThisTick = false;
    bool companionTicked = false;  // the box is ticked and the package has a companion
    bool companionTaskExists = false;
    uint64_t totalBytes = 0;
    uint64_t completedBytes = 0;  // this tick's file included when it ended
    uint64_t companionSize = 0;   // as shown: the persisted size while the engine knows none
    uint64_t companionDone = 0;   // as shown: the file's size while the engine reports none
    bool pendingEmpty = false;
};

struct TickPlan {
    bool companionEnded = false;    // stop the companion task and start the game task
    bool installCompanion = false;  // the companion arrived: start its installer
    bool saveCompanionSize = false;
    CStallWatch::Action stall = CStallWatch::kKeepGoing;
    ShownFigures shown;
};

class CTickPlanner {
public:
    CTickPlanner(unsigned stallSeconds, unsigned retries, unsigned companionIdleLimit)
        : stall_(stallSeconds, retries), companion_(companionIdleLimit) {}

    // `online` is asked only for a silent second: the probe is slow.
    TickPlan Plan(const TickFacts& facts, const std::function<bool()>& online);

    CStallWatch& Stall() { return stall_; }
    CCompanionTracker& Companion() { return companion_; }
    const CCompanionTracker& Companion() const { return companion_; }

private:
    CStallWatch stall_;
    CCompanionTracker companion_;
    // The companion's installer runs once a run: a later file's tick may read the finished
    // companion task again.
    bool companionInstalled_ = false;
};
