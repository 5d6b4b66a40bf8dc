#pragma once
// The process-wide statistics manager: created on the heap before the entry point and never
// destroyed, so a report still queued when the process ends is not sent.

#include "stats/StatisticsMgr.h"

extern CStatisticsMgr* g_pStatisticsMgr;
