#include "stats/StatisticsMgr.h"

#include <process.h>
#include <shlwapi.h>

#include <cwchar>
#include <new>

#include "probes/FileProbes.h"

namespace {

// Reads the whole file; false when it cannot be opened, measured, held or read.
bool ReadWholeFile(const std::wstring& path) {
    CScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    bool ok = false;
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart >= 0 && size.QuadPart < MAXDWORD) {
        DWORD bytes = static_cast<DWORD>(size.QuadPart);
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[bytes + 1]);
        if (buffer) {
            DWORD got = 0;
            ok = ::ReadFile(file.Get(), buffer.get(), bytes, &got, nullptr) && got == bytes;
            buffer[got] = '\0';
        }
    }
    return ok;
}

}  // namespace

CStatisticsMgr::CStatisticsMgr() = default;

CStatisticsMgr::CStatisticsMgr(const std::wstring& answerFolder) : answerFolder_(answerFolder) {}

CStatisticsMgr::~CStatisticsMgr() {
    if (worker_) {
        stopping_ = true;
        ::SetEvent(wake_.Get());
        ::WaitForSingleObject(worker_.Get(), INFINITE);
    }
}

BOOL CStatisticsMgr::Start() {
    if (started_) return TRUE;
    if (!wake_) wake_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!http_) {
        http_.reset(new CHttpDownload);
        http_->SetTimeouts(kTimeoutMs);
    }
    worker_.Reset(StartWorkerThread());
    if (!worker_) return FALSE;
    started_ = true;
    return TRUE;
}

HANDLE CStatisticsMgr::StartWorkerThread() {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerEntry, this, 0, nullptr));
}

BOOL CStatisticsMgr::Enqueue(const std::wstring& url) {
    CCriticalSectionLock lock(queueLock_);
    queue_.push_back(url);
    return TRUE;
}

BOOL CStatisticsMgr::Dequeue(std::wstring* url) {
    CCriticalSectionLock lock(queueLock_);
    if (queue_.empty()) return FALSE;
    *url = std::move(queue_.front());
    queue_.pop_front();
    return TRUE;
}

unsigned __stdcall CStatisticsMgr::WorkerEntry(void* self) {
    static_cast<CStatisticsMgr*>(self)->RunWorker();
    return 0;
}

void CStatisticsMgr::RunWorker() {
    for (;;) {
        std::wstring url;
        while (!stopping_ && Dequeue(&url)) {
            SendReport(url);
            ::Sleep(kPauseAfterReportMs);
        }
        if (stopping_) return;
        DWORD waited = wake_ ? ::WaitForSingleObject(wake_.Get(), kPollMs) : WAIT_FAILED;
        if (waited == WAIT_OBJECT_0) ::ResetEvent(wake_.Get());
        // Without its event the worker still polls at the same pace instead of spinning.
        if (waited == WAIT_FAILED) ::Sleep(kPollMs);
    }
}

void CStatisticsMgr::SendReport(const std::wstring& url) {
    // Taking the 0 and setting 1 is one step, so a 0 the user-interface thread writes
    // meanwhile is kept for the next report instead of being overwritten.
    LONG keep = 0;
    if (!dropAnswers_.compare_exchange_strong(keep, 1)) {
        http_->Download(url.c_str(), nullptr);  // the answer does not matter
        return;
    }
    SendKeepingAnswer(url);
}

// The answer is saved and read back. One that cannot be read back costs only its own
// report; the file is removed either way, so answers never pile up in the folder.
void CStatisticsMgr::SendKeepingAnswer(const std::wstring& url) {
    std::wstring path = AnswerFilePath();
    if (path.empty()) return;
    http_->Download(url.c_str(), path.c_str());
    ReadWholeFile(path);
    ::DeleteFileW(path.c_str());
}

std::wstring CStatisticsMgr::AnswerFilePath() const {
    std::wstring folder = answerFolder_.empty() ? GetTempFolder() : answerFolder_;
    if (folder.empty() || folder.size() >= MAX_PATH) return std::wstring();
    wchar_t name[16] = {};
    _snwprintf(name, 15, L"%08x.ss", static_cast<unsigned>(::GetTickCount()));
    wchar_t path[MAX_PATH] = {};
    if (!::PathCombineW(path, folder.c_str(), name)) return std::wstring();
    return path;
}
