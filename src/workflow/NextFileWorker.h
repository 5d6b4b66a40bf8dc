#pragma once
// The next-file worker: waits until the window thread releases the transfer mutex (one file
// has ended) and then asks the window, synchronously, to start the next file. Stopped with
// an event and joined; never terminated, so the mutex is never left abandoned.

#include <windows.h>

#include "base/ScopedHandle.h"

class CWorkflowState;

class CNextFileWorker {
public:
    static constexpr LPARAM kNextFileMarker = 5555;  // lParam of the worker's command 10
    static constexpr WORD kStartCommand = 10;

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
