#pragma once
// The statistics manager: a queue of report URLs sent one after another by a worker
// thread, so the user-interface thread never waits for the network.

#include <windows.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"
#include "transfer/HttpDownload.h"

class CStatisticsMgr {
public:
    static constexpr DWORD kTimeoutMs = 10000;  // connect, send and receive
    static constexpr DWORD kPollMs = 100;       // the worker's wait when the queue is empty
    static constexpr DWORD kPauseAfterReportMs = 10;

    CStatisticsMgr();
    // Saved answers go to `answerFolder` (ends with a backslash) instead of the temporary
    // folder.
    explicit CStatisticsMgr(const std::wstring& answerFolder);
    // The process-wide manager is never destroyed; a manager that is (in tests) stops its
    // worker first.
    virtual ~CStatisticsMgr();

    // Starts the worker once; later calls return at once. FALSE when the worker could not
    // be started: reports stay queued, and a later call tries again.
    BOOL Start();
    // While not 0 answers are dropped; 0 has the next report's answer saved and read back.
    void SetDropAnswers(LONG flag) { dropAnswers_ = flag; }
    BOOL Enqueue(const std::wstring& url);
    BOOL Dequeue(std::wstring* url);

protected:
    // The run-time library's thread start of the worker; null when it fails.
    virtual HANDLE StartWorkerThread();

private:
    static unsigned __stdcall WorkerEntry(void* self);
    void RunWorker();
    void SendReport(const std::wstring& url);
    void SendKeepingAnswer(const std::wstring& url);
    std::wstring AnswerFilePath() const;

    std::deque<std::wstring> queue_;
    CCriticalSection queueLock_;
    std::unique_ptr<CHttpDownload> http_;
    CScopedHandle worker_;
    CScopedHandle wake_;
    bool started_ = false;
    std::atomic<LONG> dropAnswers_{1};
    std::atomic<bool> stopping_{false};
    std::wstring answerFolder_;
};
