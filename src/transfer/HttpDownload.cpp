#include "transfer/HttpDownload.h"

#include <wininet.h>

#include <string>

#include "base/ScopedHandle.h"
#include "base/UserAgent.h"
#include "base/WinInetHandle.h"
#include "transfer/HttpBodyReader.h"
#include "transfer/NetworkState.h"

namespace {

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr size_t kHostBufferChars = 256;

struct HttpTarget {
    std::wstring host;  // cut to 255 characters
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::wstring object;  // the path with the query and anything after it
};

// Splits a plain-http URL; false for every other scheme and for what does not parse.
bool CrackHttpUrl(const wchar_t* url, HttpTarget* target) {
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUserNameLength = 1;
    parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url, 0, 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP || !parts.lpszHostName) return false;

    size_t hostChars = parts.dwHostNameLength;
    if (hostChars > kHostBufferChars - 1) hostChars = kHostBufferChars - 1;
    target->host.assign(parts.lpszHostName, hostChars);
    target->port = parts.nPort ? parts.nPort : INTERNET_DEFAULT_HTTP_PORT;

    const wchar_t* object = nullptr;
    if (parts.lpszUrlPath && parts.dwUrlPathLength > 0) {
        object = parts.lpszUrlPath;
    } else if (parts.lpszExtraInfo && parts.dwExtraInfoLength > 0) {
        object = parts.lpszExtraInfo;
    }
    target->object = object ? object : L"";
    if (target->object.empty() || target->object[0] != L'/') target->object.insert(0, L"/");
    return true;
}

// Reads the answer's body; a cancelled transfer reads no more.
class CRequestSource : public IHttpBodySource {
public:
    CRequestSource(HINTERNET request, const CCancelSlot& cancel)
        : request_(request), cancel_(cancel) {}
    bool Read(void* buffer, uint32_t capacity, uint32_t* received) override {
        if (cancel_.IsCancelled()) return false;
        DWORD got = 0;
        if (!::InternetReadFile(request_, buffer, capacity, &got)) return false;
        *received = got;
        return true;
    }

private:
    HINTERNET request_;
    const CCancelSlot& cancel_;
};

class CFileSink : public IHttpBodySink {
public:
    explicit CFileSink(HANDLE file) : file_(file) {}
    bool Write(const void* data, uint32_t size) override {
        DWORD written = 0;
        return ::WriteFile(file_, data, size, &written, nullptr) && written == size;
    }

private:
    HANDLE file_;
};

class CProgressForwarder : public IHttpBodyProgress {
public:
    explicit CProgressForwarder(IHttpDownloadCallback* callback) : callback_(callback) {}
    void OnBodyProgress(uint32_t received, uint32_t total) override {
        if (callback_) callback_->OnHttpStatus(received, total, kHttpStateProgress);
    }

private:
    IHttpDownloadCallback* callback_;
};

HttpBodyLength QueryContentLength(HINTERNET request) {
    HttpBodyLength length;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value, &size,
                         nullptr)) {
        length.known = true;
        length.bytes = value;
    }
    return length;
}

DWORD QueryStatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr)) {
        return 0;
    }
    return status;
}

// The handles of one transfer. Members are destroyed in reverse order, so the file closes
// first, then the request, the connection and the root handle.
struct TransferHandles {
    CInternetHandle root;
    CInternetHandle connection;
    CInternetHandle request;
    CScopedHandle file;
};

// Lends the root handle to the cancel slot for as long as the transfer runs. When a cancel
// has closed it, WinInet has closed every handle opened from it too: they are only
// forgotten then. Declared after the handles, so it is done before they are closed.
class CRootLoan {
public:
    CRootLoan(CCancelSlot& slot, TransferHandles& handles)
        : slot_(slot), handles_(handles), lent_(slot.Lend(handles.root.Get())) {}
    ~CRootLoan() {
        if (!lent_ || slot_.TakeBack()) return;
        handles_.request.Release();
        handles_.connection.Release();
        handles_.root.Release();
    }
    CRootLoan(const CRootLoan&) = delete;
    CRootLoan& operator=(const CRootLoan&) = delete;
    bool IsLent() const { return lent_; }

private:
    CCancelSlot& slot_;
    TransferHandles& handles_;
    bool lent_;
};

}  // namespace

CHttpDownload::CHttpDownload() : cancel_([](void* root) { ::InternetCloseHandle(root); }) {}

void CHttpDownload::SetTimeouts(DWORD connect, DWORD send, DWORD receive) {
    connectTimeout_ = connect;
    sendTimeout_ = send;
    receiveTimeout_ = receive;
}

// Each time-out only when set; the results do not matter.
void CHttpDownload::ApplyTimeouts(HINTERNET handle) const {
    const struct {
        DWORD option;
        DWORD value;
    } timeouts[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, connectTimeout_},
                    {INTERNET_OPTION_SEND_TIMEOUT, sendTimeout_},
                    {INTERNET_OPTION_RECEIVE_TIMEOUT, receiveTimeout_}};
    for (const auto& timeout : timeouts) {
        DWORD value = timeout.value;
        if (value) ::InternetSetOptionW(handle, timeout.option, &value, sizeof(value));
    }
}

void CHttpDownload::Notify(DWORD received, DWORD total, int state) {
    if (callback_) callback_->OnHttpStatus(received, total, state);
}

BOOL CHttpDownload::Download(const wchar_t* url, const wchar_t* file) {
    lastStatus_ = 0;
    if (!url || cancel_.IsCancelled()) return FALSE;
    if (!IsNetworkConnected()) return FALSE;
    HttpTarget target;
    if (!CrackHttpUrl(url, &target)) return FALSE;

    TransferHandles handles;
    if (file) {
        handles.file.Reset(::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handles.file.IsValid()) return FALSE;
    }

    handles.root.Reset(::InternetOpenW(kProgramUserAgentWide.text, INTERNET_OPEN_TYPE_PRECONFIG,
                                       nullptr, nullptr, 0));
    if (!handles.root) return FALSE;
    CRootLoan loan(cancel_, handles);
    if (!loan.IsLent()) return FALSE;  // cancelled meanwhile
    ApplyTimeouts(handles.root.Get());
    Notify(0, 0, kHttpStateOpened);

    handles.connection.Reset(::InternetConnectW(handles.root.Get(), target.host.c_str(),
                                                target.port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0));
    if (!handles.connection) return FALSE;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    handles.request.Reset(::HttpOpenRequestW(handles.connection.Get(), nullptr,
                                             target.object.c_str(), L"HTTP/1.1", nullptr,
                                             acceptTypes, kRequestFlags, 0));
    if (!handles.request) return FALSE;
    ApplyTimeouts(handles.request.Get());

    BOOL sent = ::HttpSendRequestW(handles.request.Get(), nullptr, 0, nullptr, 0);
    lastStatus_ = QueryStatusCode(handles.request.Get());
    if (!sent || lastStatus_ != HTTP_STATUS_OK) return FALSE;

    HttpBodyLength length = QueryContentLength(handles.request.Get());
    Notify(0, 0, kHttpStateBodyStart);
    CRequestSource source(handles.request.Get(), cancel_);
    CFileSink sink(handles.file.Get());
    CProgressForwarder progress(callback_);
    HttpBodyOutcome outcome =
        ReadHttpBody(source, handles.file.IsValid() ? &sink : nullptr, length, &progress);
    Notify(0, 0, kHttpStateBodyEnd);
    return outcome.complete ? TRUE : FALSE;
}
