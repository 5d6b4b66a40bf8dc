#pragma once
// The next-file worker: waits until the window thread releases the transfer mutex (one file
// has ended) and then asks the window, synchronously, to start the next file. Stopped with
// an event and joined; never terminated, so the mutex is never left abandoned.

#include <windows.h>

#include "base/ScopedHandle.h"

class CWorkflowState;

class CNextFileWorker {
public:
    CNextFileWorker() = default;
    ~CNextFileWorker() { Stop(); }
    CNextFileWorker(const CNextFileWorker&) = delete;
    CNextFileWorker& operator=(const CNextFileWorker&) = delete;

    // Starts the worker unless one runs. `transferMutex` and `state` outlive it.
    bool Start(HWND window, HANDLE transferMutex, CWorkflowState* state);
    // True while the thread has not ended.
    bool Running();
    // Asks the worker to end and waits for it. The window thread calls it, so messages the
    // worker sends meanwhile are handled while waiting (they see Stopping() and do nothing).
    void Stop();
    // Asks the worker to end without waiting: for a window thread that may be inside the
    // worker's own start command (a prompt of that start is open), where waiting for the
    // worker would wait for itself. The worker ends once that command returns; Stop() or the
    // destructor joins it later.
    void RequestStop();
    bool Stopping() const { return stopping_; }
    // Lets go of a thread that ended by itself.
    void Forget();

private:
    static unsigned __stdcall Entry(void* self);
    void Run();

    HWND window_ = nullptr;
    HANDLE transferMutex_ = nullptr;   // not owned
    CWorkflowState* state_ = nullptr;  // not owned
    CScopedHandle thread_;
    CScopedHandle stopEvent_;
    volatile bool stopping_ = false;
};
