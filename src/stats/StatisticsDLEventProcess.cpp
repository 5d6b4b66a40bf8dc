// The process-wide download-time event. Kept apart from the rest of the class so that
// code using an event of its own never links the engine binding.

#include <windows.h>
// windows.h must come before mmsystem.h
#include <mmsystem.h>

#include "config/StateFile.h"
#include "stats/StatisticsDLEvent.h"

CStatisticsDLEvent::CStatisticsDLEvent()
    : CStatisticsDLEvent([] { return ::timeGetTime(); }, GetStateFilePath()) {
    CDownloadManager::Instance().SetListener(this);
}
