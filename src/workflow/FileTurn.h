#pragma once
// Whose turn it is to transfer a file. The window thread holds the turn from the start of one
// file's transfer until that file ends (verified, failed, given up) or its start fails; the
// next-file worker waits for the turn to come free and then asks the window to start the
// next file. Only the window thread takes and gives it, and it gives only what it holds, so
// the turn can never be given twice or left abandoned.

#include <windows.h>

#include "base/ScopedHandle.h"

class CFileTurn {
public:
    CFileTurn() : mutex_(::CreateMutexW(nullptr, FALSE, nullptr)) {}
    CFileTurn(const CFileTurn&) = delete;
    CFileTurn& operator=(const CFileTurn&) = delete;

    // Waits for the turn; true once held (also when it was held already).
    bool Take() {
        if (held_) return true;
        DWORD waited = ::WaitForSingleObject(mutex_.Get(), INFINITE);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        return held_;
    }
    void Give() {
        if (!held_) return;
        held_ = false;
        ::ReleaseMutex(mutex_.Get());
    }
    bool Held() const { return held_; }
    // What the worker waits on.
    HANDLE Handle() const { return mutex_.Get(); }

private:
    CScopedHandle mutex_;
    bool held_ = false;
};
