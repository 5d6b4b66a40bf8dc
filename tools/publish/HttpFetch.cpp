#include "HttpFetch.h"

#include <vector>

#include "engine/core/ChunkedDecoder.h"
#include "engine/core/RedirectRule.h"
#include "engine/core/TaskUrl.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
#endif

namespace publish {
namespace {

using vexa::engine::HttpUrl;

class CSocket {
public:
    CSocket() {
#ifdef _WIN32
        static const bool started = [] {
            WSADATA data;
            return WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }();
        (void)started;
#endif
    }
    ~CSocket() { Close(); }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    bool Connect(const HttpUrl& url, int timeoutMs, std::string* error) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(url.host.c_str(), std::to_string(url.port).c_str(), &hints, &found) != 0) {
            *error = "cannot resolve " + url.host;
            return false;
        }
        for (addrinfo* a = found; a; a = a->ai_next) {
            socket_ = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (socket_ == kNoSocket) continue;
            SetTimeouts(timeoutMs);
            if (connect(socket_, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) break;
            Close();
        }
        freeaddrinfo(found);
        if (socket_ == kNoSocket) *error = "cannot connect to " + url.HostHeader();
        return socket_ != kNoSocket;
    }

    bool SendAll(const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const int n =
                send(socket_, data.data() + sent, static_cast<int>(data.size() - sent), 0);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Bytes read, 0 at the end of the stream, -1 on an error or a time-out.
    int Receive(char* buffer, size_t capacity) {
        return static_cast<int>(recv(socket_, buffer, static_cast<int>(capacity), 0));
    }

private:
    void Close() {
        if (socket_ == kNoSocket) return;
#ifdef _WIN32
        closesocket(socket_);
#else
        close(socket_);
#endif
        socket_ = kNoSocket;
    }

    void SetTimeouts(int timeoutMs) {
#ifdef _WIN32
        DWORD value = static_cast<DWORD>(timeoutMs);
#else
        timeval value{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
#endif
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                   sizeof value);
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value),
                   sizeof value);
    }

    SocketHandle socket_ = kNoSocket;
};

std::string RequestText(const HttpUrl& url, const FetchRequest& request) {
    std::string text = "GET " + url.target + " HTTP/1.1\r\nHost: " + url.HostHeader() +
                       "\r\nUser-Agent: " + request.userAgent +
                       "\r\nAccept: */*\r\nAccept-Encoding: identity\r\nCache-Control: "
                       "no-cache\r\nConnection: close\r\n";
    if (request.ranged) {
        text += "Range: bytes=" + std::to_string(request.first) + "-" +
                std::to_string(request.last) + "\r\n";
    }
    return text + "\r\n";
}

class CBodyReader {
public:
    CBodyReader(FetchResult& result, const BodySink& sink) : result_(result), sink_(sink) {}

    // False once the body is over (complete, stopped or broken).
    bool Feed(const char* data, size_t size) {
        if (result_.head.chunked) return FeedChunked(data, size);
        const uint64_t want = result_.head.hasContentLength
                                  ? result_.head.contentLength - result_.bodyBytes
                                  : UINT64_MAX;
        const size_t take = size < want ? size : static_cast<size_t>(want);
        if (!Deliver(data, take)) return false;
        if (result_.head.hasContentLength && result_.bodyBytes == result_.head.contentLength) {
            result_.bodyComplete = true;
            return false;
        }
        return true;
    }

    bool Stopped() const { return stopped_; }

    void End() {
        if (!result_.head.hasContentLength && !result_.head.chunked) result_.bodyComplete = true;
    }

private:
    bool Deliver(const char* data, size_t size) {
        result_.bodyBytes += size;
        if (size > 0 && !sink_(data, size)) {
            stopped_ = true;
            return false;
        }
        return true;
    }

    bool FeedChunked(const char* data, size_t size) {
        std::vector<char> out;
        size_t consumed = 0;
        auto status = decoder_.Feed(data, size, out, consumed);
        if (!Deliver(out.data(), out.size())) return false;
        if (status == vexa::engine::ChunkedDecoder::Status::Done) result_.bodyComplete = true;
        if (status == vexa::engine::ChunkedDecoder::Status::Error) result_.error = "broken chunks";
        return status == vexa::engine::ChunkedDecoder::Status::NeedMore;
    }

    FetchResult& result_;
    const BodySink& sink_;
    vexa::engine::ChunkedDecoder decoder_;
    bool stopped_ = false;
};

}  // namespace

FetchResult Fetch(const FetchRequest& request, const BodySink& sink) {
    FetchResult result;
    HttpUrl url;
    if (!vexa::engine::ParseHttpUrl(vexa::engine::EncodeLinkForWire(request.url), url)) {
        result.error = "not a plain http:// address";
        return result;
    }
    CSocket socket;
    if (!socket.Connect(url, request.timeoutMs, &result.error)) return result;
    if (!socket.SendAll(RequestText(url, request))) {
        result.error = "the request could not be sent";
        return result;
    }
    std::vector<char> buffer(1 << 16);
    std::string head;
    for (;;) {
        const int n = socket.Receive(buffer.data(), buffer.size());
        if (n <= 0) {
            result.error = n == 0 ? "the connection closed before an answer" : "no answer in time";
            return result;
        }
        result.wireBytes += static_cast<uint64_t>(n);
        head.append(buffer.data(), static_cast<size_t>(n));
        const size_t end = vexa::engine::FindHeadEnd(head.data(), head.size());
        if (end == 0) {
            if (head.size() > 65536) break;
            continue;
        }
        if (!vexa::engine::ParseResponseHead(head.data(), end, result.head)) break;
        result.connected = true;
        const bool redirect =
            vexa::engine::IsRedirectStatus(result.head.status) && !result.head.location.empty();
        if (redirect || (request.onHead && !request.onHead(result.head))) return result;
        CBodyReader body(result, sink);
        bool more = body.Feed(head.data() + end, head.size() - end);
        while (more) {
            const int got = socket.Receive(buffer.data(), buffer.size());
            if (got <= 0) {
                if (got < 0) result.error = "the answer stalled";
                body.End();
                break;
            }
            result.wireBytes += static_cast<uint64_t>(got);
            more = body.Feed(buffer.data(), static_cast<size_t>(got));
        }
        if (!result.bodyComplete && result.error.empty() && !body.Stopped())
            result.error = "the body ended early";
        return result;
    }
    result.error = "the answer is not HTTP";
    return result;
}

}  // namespace publish
