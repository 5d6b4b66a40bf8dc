#include "stats/StatisticsDLEvent.h"

CStatisticsDLEvent::CStatisticsDLEvent(Clock clock, const std::wstring& stateFilePath)
    : clock_(std::move(clock)), stateFile_(stateFilePath) {
    LoadTotal();
}

CStatisticsDLEvent::~CStatisticsDLEvent() { StoreTotal(); }

int CStatisticsDLEvent::OnTaskEvent(int event) {
    if (event == kTaskStarted) {
        startTime_ = clock_();
    } else if (event == kTaskStopped && startTime_ > 0) {
        // The millisecond clock wraps after 49.7 days; the 32-bit difference stays right.
        DWORD elapsed = clock_() - static_cast<DWORD>(startTime_);
        total_ += elapsed;
        startTime_ = 0;
    }
    return 0;
}

// The state file answers 0 when it is missing and writes nothing then: the total is kept
// only while a download of this package has its state file.
void CStatisticsDLEvent::LoadTotal() { total_ = stateFile_.LoadDownloadTotalTime(); }

void CStatisticsDLEvent::StoreTotal() const { stateFile_.SaveDownloadTotalTime(total_); }
