#pragma once
// The download-time event: listens to the transfer engine and adds up the time between
// each start and stop of a download task. The total lives in the package's state file
// ("Norvane"/"DownloadTotalTime") across runs, but only while that file exists.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "config/StateFile.h"
#include "transfer/DownloadManager.h"

class CStatisticsDLEvent : public CDownloadManager::ICDownloadManagerCallback {
public:
    using Clock = std::function<DWORD()>;  // milliseconds

    enum TaskEvent { kTaskStarted = 0, kTaskStopped = 1 };

    // The process-wide event: timeGetTime, the package's state file, and registration with
    // the engine binding (whose first use unpacks and loads the engine).
    CStatisticsDLEvent();
    // An event on its own clock and state file, registered nowhere.
    CStatisticsDLEvent(Clock clock, const std::wstring& stateFilePath);
    // Stores the total.
    ~CStatisticsDLEvent() override;
    CStatisticsDLEvent(const CStatisticsDLEvent&) = delete;
    CStatisticsDLEvent& operator=(const CStatisticsDLEvent&) = delete;

    int OnTaskEvent(int event) override;
    uint64_t GetTotal() const { return total_; }

private:
    void LoadTotal();
    void StoreTotal() const;

    Clock clock_;
    CStateFile stateFile_;
    uint64_t startTime_ = 0;  // 0 while nothing is being timed
    uint64_t total_ = 0;
};
