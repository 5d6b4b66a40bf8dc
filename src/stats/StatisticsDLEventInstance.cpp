// The process-wide download-time event. Kept apart from the rest of the class so that
// code using an event of its own never links the engine binding.

#include "stats/StatisticsDLEventInstance.h"

#include <windows.h>
// windows.h must come before mmsystem.h
#include <mmsystem.h>

#include "base/ProcessObjectOrder.h"
#include "config/StateFile.h"

CStatisticsDLEvent::CStatisticsDLEvent()
    : CStatisticsDLEvent([] { return ::timeGetTime(); }, GetStateFilePath()) {
    CDownloadManager::Instance().SetListener(this);
}

CStatisticsDLEvent g_StatisticsDLEvent VEXA_PROCESS_OBJECT(kStatisticsDLEventOrder);
