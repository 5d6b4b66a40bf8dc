#include "workflow/NextFileWorker.h"

#include <process.h>

#include "workflow/DownloadWindowIds.h"
#include "workflow/WorkflowState.h"

bool CNextFileWorker::Start(HWND window, HANDLE transferMutex, CWorkflowState* state) {
    if (Running()) return true;
    Forget();
    window_ = window;
    transferMutex_ = transferMutex;
    state_ = state;
    stopping_ = false;
    stopEvent_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_.IsValid()) return false;
    thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Entry, this, 0, nullptr)));
    if (!thread_.IsValid()) {
        Forget();
        return false;
    }
    return true;
}

bool CNextFileWorker::Running() {
    return thread_.IsValid() && ::WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT;
}

void CNextFileWorker::RequestStop() {
    if (!thread_.IsValid()) return;
    stopping_ = true;
    ::SetEvent(stopEvent_.Get());
}

void CNextFileWorker::Stop() {
    if (!thread_.IsValid()) return;
    RequestStop();
    HANDLE thread = thread_.Get();
    // The worker may be inside SendMessageW to this thread: keep handling sent messages
    // until it has ended, or the two threads would wait for each other.
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    Forget();
    stopping_ = false;
}

void CNextFileWorker::Forget() {
    thread_.Reset();
    stopEvent_.Reset();
}

unsigned __stdcall CNextFileWorker::Entry(void* self) {
    static_cast<CNextFileWorker*>(self)->Run();
    return 0;
}

void CNextFileWorker::Run() {
    const HANDLE waits[2] = {stopEvent_.Get(), transferMutex_};
    while (!state_->PendingEmpty()) {
        DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_ABANDONED_0 + 1) {
            ::ReleaseMutex(transferMutex_);
        } else {
            return;  // asked to stop, or the wait failed
        }
        if (::WaitForSingleObject(stopEvent_.Get(), 0) == WAIT_OBJECT_0) return;
        ::SendMessageW(window_, WM_COMMAND, kStartCommand, static_cast<LPARAM>(kNextFileMarker));
    }
}
