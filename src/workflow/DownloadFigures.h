#pragma once
// What the download window shows as sizes and percent, computed from the engine's figures
// and the workflow totals. Portable.

#include <cstddef>
#include <cstdint>

// One second of the progress timer.
struct TickReading {
    uint64_t totalBytes = 0;      // the package
    uint64_t completedBytes = 0;  // finished files, this tick's file included when it ended
    uint64_t mainDone = 0;
    uint64_t mainSpeed = 0;
    bool fileFinishedThisTick = false;
    bool companionActive = false;  // box ticked and a companion task exists
    bool companionFinished = false;
    uint64_t companionSize = 0;
    uint64_t companionDone = 0;
    uint64_t companionSpeed = 0;
};

struct ShownFigures {
    uint64_t total = 0;
    uint64_t done = 0;
    uint64_t speed = 0;
    unsigned percent = 0;
};

ShownFigures ComputeTickFigures(const TickReading& reading);

// The display outside the timer (after a choice, a restore, a pause).
struct RefreshReading {
    uint64_t totalBytes = 0;
    uint64_t completedBytes = 0;
    uint64_t mainDone = 0;
    uint64_t mainSize = 0;  // the main task's size field; 0 while unknown
    bool companionTicked = false;
    uint64_t companionSize = 0;
    uint64_t companionDone = 0;
    size_t packageFileCount = 0;
    size_t pendingCount = 0;
    bool fileFinished = false;
};

struct RefreshFigures {
    bool showSizes = false;  // false: only the progress goes to 0
    uint64_t done = 0;
    uint64_t total = 0;
    unsigned percent = 0;
};

RefreshFigures ComputeRefreshFigures(const RefreshReading& reading);
