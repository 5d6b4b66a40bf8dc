#pragma once
// The per-second decisions of the progress and file-wait timers: when a silent transfer is
// retried or given up, when the companion download counts as finished, and how long a
// finished task's file is waited for. Portable: the window feeds them the engine's figures.

#include <cstdint>

// Counts silent seconds while online. Any second with a non-zero speed resets both counts;
// seconds offline leave them alone (the transfer waits for the network instead).
class CStallWatch {
public:
    enum Action {
        kKeepGoing,       // nothing to do this second
        kRetry,           // stop, re-create and resume the tasks
        kGiveUp,          // the download failed
        kWaitForNetwork,  // stop the tasks until the network is back
    };

    static constexpr unsigned kShippedStallSeconds = 90;
    static constexpr unsigned kShippedRetries = 3;

    explicit CStallWatch(unsigned stallSeconds = kShippedStallSeconds,
                         unsigned retries = kShippedRetries)
        : stallSeconds_(stallSeconds), retries_(retries) {}

    Action Tick(uint64_t speed, bool online);
    void Reset() { stalled_ = retried_ = 0; }

    unsigned StalledSeconds() const { return stalled_; }
    unsigned RetriesDone() const { return retried_; }

private:
    unsigned stallSeconds_;
    unsigned retries_;
    unsigned stalled_ = 0;
    unsigned retried_ = 0;
};

// The companion download is finished when its task leaves state 0 or when it has been idle
// for more than `idleLimit` consecutive seconds (then it is dropped and the game file goes on).
class CCompanionTracker {
public:
    static constexpr unsigned kShippedIdleLimit = 5;

    explicit CCompanionTracker(unsigned idleLimit = kShippedIdleLimit) : idleLimit_(idleLimit) {}

    // A companion task was (re)started.
    void Begin() {
        finished_ = false;
        idle_ = 0;
    }
    // No companion runs: nothing will wait for one.
    void Skip() {
        finished_ = false;
        idle_ = idleLimit_ * 2;
    }
    // One second of the companion task; does nothing unless `active` and not yet finished.
    // True on the call that sets the finished flag.
    bool Update(bool active, uint64_t speed, int state);

    bool Finished() const { return finished_; }
    void ClearFinished() { finished_ = false; }
    unsigned IdleSeconds() const { return idle_; }

private:
    unsigned idleLimit_;
    unsigned idle_ = 0;
    bool finished_ = false;
};

// After the engine reports a file finished, its target may appear a moment later. The wait
// has an end: a file that never appears is a failed download, not a window left waiting.
class CFileWait {
public:
    enum Action { kWait, kVerify, kGiveUp };
    static constexpr unsigned kShippedLimit = 30;

    explicit CFileWait(unsigned limit = kShippedLimit) : limit_(limit) {}
    void Start() { seconds_ = 0; }
    Action Tick(bool fileExists);

private:
    unsigned limit_;
    unsigned seconds_ = 0;
};

// What the companion adds to the displays.
// Size: 0 unless ticked; the task's size, or the persisted size while the engine knows none.
uint64_t CompanionShownSize(bool ticked, uint64_t taskSize, int64_t persistedSize);
// Bytes: 0 unless ticked; the task's bytes, or the size of a finished file already there.
uint64_t CompanionShownDone(bool ticked, uint64_t taskDone, uint64_t fileSize);
