#pragma once
// One HTTP/1.1 client connection over a blocking Winsock socket. Every wait is cut into
// short slices so the caller can look at its stop flag and its own stall clock in between.

#include <winsock2.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/core/HttpResponseHead.h"
#include "engine/core/TaskUrl.h"

namespace vexa::engine {

enum class ReadStatus { Data, Idle, Closed, Error, Stopped };

class HttpConnection {
public:
    HttpConnection() = default;
    ~HttpConnection() { Close(); }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Reuses the open connection when it goes to the same host and port.
    bool Open(const HttpUrl& url, int timeoutMs, const std::atomic<bool>& stop);
    void Close();
    bool IsOpen() const { return socket_ != INVALID_SOCKET; }

    bool Send(const std::string& request);
    // Reads until a complete head has arrived (at most 64 KiB), or fails after `timeoutMs`
    // without any byte.
    bool ReadHead(HttpResponseHead& head, int timeoutMs, const std::atomic<bool>& stop);
    // Body bytes: first what came with the head, then from the socket. Idle means a slice
    // passed without data.
    ReadStatus Read(char* buffer, size_t capacity, size_t& got);

    uint64_t WireBytes() const { return wireBytes_; }
    // Why the last Open or ReadHead failed: the server refused the connection or reset it
    // before answering (it wants fewer connections), or sent a head that is no HTTP.
    bool Refused() const { return refused_; }
    bool HeadMalformed() const { return headMalformed_; }

private:
    bool ConnectTo(const HttpUrl& url, int timeoutMs, const std::atomic<bool>& stop);

    SOCKET socket_ = INVALID_SOCKET;
    std::string endpoint_;
    std::vector<char> pending_;  // bytes read past the head
    size_t pendingPos_ = 0;
    uint64_t wireBytes_ = 0;
    bool refused_ = false;
    bool headMalformed_ = false;
};

// The GET request for `url`, with an optional byte range [from, to) (to == 0: open end)
// and an optional If-Range validator.
std::string BuildGetRequest(const HttpUrl& url, bool ranged, uint64_t from, uint64_t to,
                            const std::string& ifRange);

}  // namespace vexa::engine
