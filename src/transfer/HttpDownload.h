#pragma once
// The program's only HTTP client: one plain-HTTP GET through WinInet, the body stored in a
// local file or dropped. Used for the configuration document, the skin image and reports.

#include <windows.h>
#include <wininet.h>

#include "transfer/CancelSlot.h"
#include "transfer/NetworkState.h"  // the probe every transfer asks first

class IHttpDownloadCallback {
public:
    virtual ~IHttpDownloadCallback() = default;
    // States: 2 handle opened (before connecting), 4 answer 200 and body about to be read,
    // 5 progress (bytes so far, Content-Length or 0), 6 body reading ended. Result ignored.
    virtual int OnHttpStatus(DWORD received, DWORD total, int state) = 0;
};

enum HttpDownloadState {
    kHttpStateOpened = 2,
    kHttpStateBodyStart = 4,
    kHttpStateProgress = 5,
    kHttpStateBodyEnd = 6,
};

class CHttpDownload {
public:
    CHttpDownload();
    virtual ~CHttpDownload() = default;

    void SetCallback(IHttpDownloadCallback* callback) { callback_ = callback; }  // not owned
    // Milliseconds; 0 leaves the platform's default.
    void SetTimeouts(DWORD connect, DWORD send, DWORD receive);
    void SetTimeouts(DWORD all) { SetTimeouts(all, all, all); }

    // GET `url` (plain http only) into `file` (created or truncated), or drop the body when
    // `file` is null. Success needs status 200 and the whole body stored. A file created for
    // a failed transfer is left in place for the caller to remove.
    BOOL Download(const wchar_t* url, const wchar_t* file);

    // Status code of the last answer; 0 before one arrived (a transport failure).
    DWORD GetLastStatus() const { return lastStatus_; }

    // From any thread: ends a running Download as soon as it can, and makes every later one
    // fail at once. The transfer's handles are closed, which aborts a blocking call where
    // WinInet does so (Wine's does not: such a call ends at its time-out); the body stops
    // before the next read. The file is left for the caller to remove, as after any failure.
    void Cancel() { cancel_.Cancel(); }

private:
    // On the root handle and again on the request: Wine does not pass them down.
    void ApplyTimeouts(HINTERNET handle) const;
    void Notify(DWORD received, DWORD total, int state);

    IHttpDownloadCallback* callback_ = nullptr;
    DWORD connectTimeout_ = 0;
    DWORD sendTimeout_ = 0;
    DWORD receiveTimeout_ = 0;
    DWORD lastStatus_ = 0;
    CCancelSlot cancel_;  // holds the root handle while a transfer runs
};
