#pragma once
// One engine task as the download window reads it. Portable.

#include <cstdint>

struct TaskFigures {
    uint64_t size = 0;
    uint64_t done = 0;
    uint64_t speed = 0;  // both speed components together
    int state = 0;       // 0 running or paused, 1 finished, other values failed
};

constexpr int kNoTask = -1;
