#include "transfer/CancelSlot.h"

bool CCancelSlot::Lend(void* handle) {
    std::lock_guard<std::mutex> hold(lock_);
    if (cancelled_ || !handle) return false;
    lent_ = handle;
    closedLent_ = false;
    return true;
}

bool CCancelSlot::TakeBack() {
    std::lock_guard<std::mutex> hold(lock_);
    const bool stillOwned = lent_ && !closedLent_;
    lent_ = nullptr;
    closedLent_ = false;
    return stillOwned;
}

// The closer runs under the lock, so a transfer that ends meanwhile waits in TakeBack and
// learns that its handle is gone.
void CCancelSlot::Cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    cancelled_ = true;
    if (lent_ && !closedLent_) {
        closedLent_ = true;
        closer_(lent_);
    }
}

bool CCancelSlot::IsCancelled() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cancelled_;
}
