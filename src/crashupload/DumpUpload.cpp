#include "crashupload/DumpUpload.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "base/UserAgent.h"
#include "base/WinInetHandle.h"
#include "crashupload/CrashUploadRules.h"

namespace {

constexpr DWORD kChunkBytes = 64 * 1024;
constexpr DWORD kNetworkTimeoutMs = 20000;

void SetTimeouts(HINTERNET handle) {
    DWORD timeout = kNetworkTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
}

bool SendBody(HINTERNET request, const std::vector<uint8_t>& body,
              std::atomic<uint32_t>* progress) {
    INTERNET_BUFFERSW buffers = {};
    buffers.dwStructSize = sizeof(buffers);
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    if (!::HttpSendRequestExW(request, &buffers, nullptr, 0, 0)) return false;
    size_t sent = 0;
    while (sent < body.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(kChunkBytes, body.size() - sent));
        DWORD written = 0;
        if (!::InternetWriteFile(request, body.data() + sent, chunk, &written) || written == 0)
            return false;
        sent += written;
        progress->store(::GetTickCount());
    }
    return ::HttpEndRequestW(request, nullptr, 0, 0) != FALSE;
}

int StatusOf(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr))
        return 0;
    return static_cast<int>(status);
}

// Reads the (small) answer away so the connection ends cleanly.
void DrainAnswer(HINTERNET request, std::atomic<uint32_t>* progress) {
    char buffer[4096];
    DWORD got = 0;
    for (int i = 0; i < 64 && ::InternetReadFile(request, buffer, sizeof(buffer), &got) && got; ++i)
        progress->store(::GetTickCount());
}

}  // namespace

UploadResult UploadDump(const DumpUploadTarget& target, const std::vector<uint8_t>& body,
                        std::atomic<uint32_t>* progress) {
    CInternetHandle session(::InternetOpenW(kProgramUserAgentWide.text,
                                            INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return UploadResult::kNoAnswer;
    SetTimeouts(session.Get());
    CInternetHandle connection(::InternetConnectW(session.Get(), target.host.c_str(),
                                                  static_cast<INTERNET_PORT>(target.port), nullptr,
                                                  nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return UploadResult::kNoAnswer;
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
    CInternetHandle request(::HttpOpenRequestW(connection.Get(), L"PUT", target.path.c_str(),
                                               nullptr, nullptr, nullptr, flags, 0));
    if (!request) return UploadResult::kNoAnswer;
    SetTimeouts(request.Get());
    const wchar_t headers[] = L"Content-Type: application/octet-stream\r\n";
    ::HttpAddRequestHeadersW(request.Get(), headers, static_cast<DWORD>(-1L),
                             HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    if (!SendBody(request.Get(), body, progress)) return UploadResult::kNoAnswer;
    progress->store(::GetTickCount());
    int status = StatusOf(request.Get());
    if (status == 0) return UploadResult::kNoAnswer;
    DrainAnswer(request.Get(), progress);
    return IsReceivedStatus(status) ? UploadResult::kReceived : UploadResult::kRefused;
}
