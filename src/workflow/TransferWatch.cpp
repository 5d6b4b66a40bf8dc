#include "workflow/TransferWatch.h"

CStallWatch::Action CStallWatch::Tick(uint64_t speed, bool online) {
    if (speed != 0) {
        Reset();
        return kKeepGoing;
    }
    if (!online) return kWaitForNetwork;
    if (++stalled_ <= stallSeconds_) return kKeepGoing;
    stalled_ = 0;
    if (++retried_ <= retries_) return kRetry;
    retried_ = 0;
    return kGiveUp;
}

bool CCompanionTracker::Update(bool active, uint64_t speed, int state) {
    if (!active || finished_) return false;
    idle_ = speed == 0 ? idle_ + 1 : 0;
    finished_ = idle_ > idleLimit_ || state != 0;
    return finished_;
}

CFileWait::Action CFileWait::Tick(bool fileExists) {
    if (fileExists) return kVerify;
    if (++seconds_ > limit_) return kGiveUp;
    return kWait;
}

uint64_t CompanionShownSize(bool ticked, uint64_t taskSize, int64_t persistedSize) {
    if (!ticked) return 0;
    if (taskSize != 0) return taskSize;
    return persistedSize > 0 ? static_cast<uint64_t>(persistedSize) : 0;
}

uint64_t CompanionShownDone(bool ticked, uint64_t taskDone, uint64_t fileSize) {
    if (!ticked) return 0;
    return taskDone != 0 ? taskDone : fileSize;
}
