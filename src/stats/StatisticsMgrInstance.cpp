#include "stats/StatisticsMgrInstance.h"

#include "base/ProcessObjectOrder.h"

CStatisticsMgr* g_pStatisticsMgr = nullptr;

namespace {

// A pointer cannot take a place in the creation order; this object makes the manager there.
struct CStatisticsMgrMaker {
    CStatisticsMgrMaker() { g_pStatisticsMgr = new CStatisticsMgr; }
};

CStatisticsMgrMaker g_StatisticsMgrMaker VEXA_PROCESS_OBJECT(kStatisticsMgrOrder);

}  // namespace
