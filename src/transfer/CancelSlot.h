#pragma once
// The point where another thread can stop a transfer. While the transfer has its outermost
// handle open it lends that handle here; a cancel closes the lent handle, which ends the
// transfer's blocking calls where the platform does so, and the transfer then only forgets
// it. So each handle is closed exactly once, by one side or the other, never twice (a
// handle value closed twice may already name somebody else's handle). A cancel holds for
// good: every later transfer is refused at once.
//
// Kept apart from WinInet (handles are plain pointers, the closer is given) so that the
// rules build and are tested natively.

#include <functional>
#include <mutex>

class CCancelSlot {
public:
    using Closer = std::function<void(void* handle)>;

    explicit CCancelSlot(Closer closer) : closer_(std::move(closer)) {}
    CCancelSlot(const CCancelSlot&) = delete;
    CCancelSlot& operator=(const CCancelSlot&) = delete;

    // Lends `handle` (not null); false, and nothing lent, when a cancel came first.
    bool Lend(void* handle);
    // Takes the lent handle back: true when the caller still owns it and closes it as
    // usual; false when a cancel has closed it (the caller must only forget it then).
    bool TakeBack();
    // From any thread: closes the lent handle, if any, and refuses every later loan.
    void Cancel();
    bool IsCancelled() const;

private:
    mutable std::mutex lock_;  // guards everything below; held while the closer runs
    Closer closer_;
    void* lent_ = nullptr;
    bool cancelled_ = false;
    bool closedLent_ = false;  // the cancel closed the handle that is still on loan
};
