#include "engine/HttpConnection.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "engine/core/EngineUserAgent.h"

namespace vexa::engine {
namespace {

const int kSliceMs = 200;
// A body read waits less: a connection whose work ended elsewhere (the file is complete,
// its range was finished by another) notices within this long.
const int kReadSliceMs = 50;

struct AddrInfoList {
    addrinfo* head = nullptr;
    ~AddrInfoList() {
        if (head) freeaddrinfo(head);
    }
};

bool WaitWritable(SOCKET s, int ms) {
    fd_set w, e;
    FD_ZERO(&w);
    FD_ZERO(&e);
    FD_SET(s, &w);
    FD_SET(s, &e);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    int n = select(0, nullptr, &w, &e, &tv);
    return n > 0 && FD_ISSET(s, &w) && !FD_ISSET(s, &e);
}

// Waiting in select() rather than with SO_RCVTIMEO: a timed-out blocking recv leaves a
// Windows socket in an undefined state.
bool WaitReadable(SOCKET s, int ms) {
    fd_set r;
    FD_ZERO(&r);
    FD_SET(s, &r);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(0, &r, nullptr, nullptr, &tv) > 0;
}

}  // namespace

std::string BuildGetRequest(const HttpUrl& url, bool ranged, uint64_t from, uint64_t to,
                            const std::string& ifRange) {
    std::string r = "GET " + url.target + " HTTP/1.1\r\nHost: " + url.HostHeader() +
                    "\r\nUser-Agent: " + kEngineUserAgent +
                    "\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
    if (ranged) {
        r += "Range: bytes=" + std::to_string(from) + "-";
        if (to > from) r += std::to_string(to - 1);
        r += "\r\n";
        if (!ifRange.empty()) r += "If-Range: " + ifRange + "\r\n";
    }
    return r + "Connection: keep-alive\r\n\r\n";
}

bool HttpConnection::Open(const HttpUrl& url, int timeoutMs, const std::atomic<bool>& stop) {
    std::string endpoint = url.host + ":" + std::to_string(url.port);
    if (IsOpen() && endpoint == endpoint_) return true;
    Close();
    refused_ = false;
    if (!ConnectTo(url, timeoutMs, stop)) {
        Close();
        return false;
    }
    endpoint_ = endpoint;
    return true;
}

bool HttpConnection::ConnectTo(const HttpUrl& url, int timeoutMs, const std::atomic<bool>& stop) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddrInfoList list;
    std::string port = std::to_string(url.port);
    if (getaddrinfo(url.host.c_str(), port.c_str(), &hints, &list.head) != 0) return false;
    for (addrinfo* ai = list.head; ai; ai = ai->ai_next) {
        socket_ = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (socket_ == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(socket_, FIONBIO, &nonBlocking);
        int rc = connect(socket_, ai->ai_addr, static_cast<int>(ai->ai_addrlen));
        bool ok = rc == 0;
        if (!ok && WSAGetLastError() == WSAECONNREFUSED) refused_ = true;
        if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
            for (int waited = 0; waited < timeoutMs && !stop.load(); waited += kSliceMs) {
                if ((ok = WaitWritable(socket_, kSliceMs))) break;
                int err = 0;
                int len = sizeof(err);
                getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
                if (err == WSAECONNREFUSED) refused_ = true;
                if (err != 0) break;
            }
        }
        if (ok) {
            // The socket stays non-blocking: reads try the socket first and wait in
            // select() only when nothing is there, which saves a wait per read.
            int rcvbuf = 1 << 20;
            setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&rcvbuf),
                       sizeof(rcvbuf));
            BOOL noDelay = TRUE;
            setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                       sizeof(noDelay));
            return true;
        }
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    return false;
}

void HttpConnection::Close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
    endpoint_.clear();
    pending_.clear();
    pendingPos_ = 0;
}

bool HttpConnection::Send(const std::string& request) {
    size_t sent = 0;
    int waits = 0;
    while (sent < request.size()) {
        int n = send(socket_, request.data() + sent, static_cast<int>(request.size() - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK && ++waits < 50 &&
            WaitWritable(socket_, kSliceMs))
            continue;
        return false;
    }
    return true;
}

bool HttpConnection::ReadHead(HttpResponseHead& head, int timeoutMs,
                              const std::atomic<bool>& stop) {
    std::vector<char> buf;
    char chunk[16384];
    int quietMs = 0;
    // Leftovers of an earlier response on this connection never precede a new head:
    // the caller closes connections whose body was not read to the end.
    pending_.clear();
    pendingPos_ = 0;
    refused_ = headMalformed_ = false;
    while (!stop.load()) {
        int n = recv(socket_, chunk, sizeof(chunk), 0);
        int err = n < 0 ? WSAGetLastError() : 0;
        if (n < 0 && err == WSAEWOULDBLOCK) {
            if (!WaitReadable(socket_, kSliceMs)) {
                quietMs += kSliceMs;
                if (quietMs >= timeoutMs) return false;
            }
            continue;
        }
        if (n <= 0) {
            refused_ = buf.empty() && err == WSAECONNRESET;
            return false;
        }
        quietMs = 0;
        wireBytes_ += static_cast<uint64_t>(n);
        buf.insert(buf.end(), chunk, chunk + n);
        size_t end = FindHeadEnd(buf.data(), buf.size());
        if (end) {
            if (!ParseResponseHead(buf.data(), end, head)) {
                headMalformed_ = true;
                return false;
            }
            pending_.assign(buf.begin() + static_cast<std::ptrdiff_t>(end), buf.end());
            return true;
        }
        if (buf.size() > 65536) {
            headMalformed_ = true;
            return false;
        }
    }
    return false;
}

ReadStatus HttpConnection::Read(char* buffer, size_t capacity, size_t& got) {
    got = 0;
    if (pendingPos_ < pending_.size()) {
        got = std::min(capacity, pending_.size() - pendingPos_);
        memcpy(buffer, pending_.data() + pendingPos_, got);
        pendingPos_ += got;
        return ReadStatus::Data;
    }
    int cap = static_cast<int>(std::min<size_t>(capacity, 1 << 30));
    int n = recv(socket_, buffer, cap, 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
        if (!WaitReadable(socket_, kReadSliceMs)) return ReadStatus::Idle;
        n = recv(socket_, buffer, cap, 0);
        if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return ReadStatus::Idle;
    }
    if (n > 0) {
        got = static_cast<size_t>(n);
        wireBytes_ += got;
        return ReadStatus::Data;
    }
    return n == 0 ? ReadStatus::Closed : ReadStatus::Error;
}

}  // namespace vexa::engine
