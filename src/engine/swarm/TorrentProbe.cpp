#include "engine/swarm/TorrentProbe.h"

#include <windows.h>

#include "engine/HttpConnection.h"
#include "engine/core/RedirectRule.h"
#include "engine/core/SwarmAddress.h"

namespace vexa::engine {
namespace {

// A single-file torrent of the largest file the engine takes (1 TiB in 4 MiB pieces, v1
// and v2 hashes) stays far below this.
const uint64_t kLargestTorrent = 16ull << 20;

enum class BodyRead { kWhole, kBroken, kStopped };

BodyRead ReadBody(HttpConnection& conn, const HttpResponseHead& head, int timeoutMs,
                  const std::atomic<bool>& stop, std::string& out) {
    const bool sized = head.hasContentLength;
    char buffer[16384];
    uint64_t lastData = GetTickCount64();
    while (!sized || out.size() < head.contentLength) {
        if (stop.load()) return BodyRead::kStopped;
        size_t got = 0;
        const ReadStatus status = conn.Read(buffer, sizeof(buffer), got);
        if (status == ReadStatus::Data) {
            out.append(buffer, got);
            lastData = GetTickCount64();
            if (out.size() > kLargestTorrent) return BodyRead::kBroken;
        } else if (status == ReadStatus::Idle) {
            if (GetTickCount64() - lastData > static_cast<uint64_t>(timeoutMs))
                return BodyRead::kBroken;
        } else if (status == ReadStatus::Closed && !sized && !head.chunked) {
            return BodyRead::kWhole;
        } else {
            return status == ReadStatus::Stopped ? BodyRead::kStopped : BodyRead::kBroken;
        }
    }
    return out.size() == head.contentLength ? BodyRead::kWhole : BodyRead::kBroken;
}

}  // namespace

TorrentProbe FetchTorrent(const std::string& link, int timeoutMs, const std::atomic<bool>& stop) {
    TorrentProbe probe;
    HttpUrl url;
    if (!ParseHttpUrl(TorrentAddressOf(link), url)) return probe;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        HttpConnection conn;
        HttpResponseHead head;
        if (!conn.Open(url, timeoutMs, stop) || !conn.Send(BuildGetRequest(url, false, 0, 0, "")) ||
            !conn.ReadHead(head, timeoutMs, stop)) {
            probe.outcome = stop.load() ? ProbeOutcome::kStopped : ProbeOutcome::kUnreachable;
            return probe;
        }
        HttpUrl next;
        if (IsRedirectStatus(head.status) && ResolveLocation(url, head.location, next)) {
            url = next;
            continue;
        }
        // Chunked bodies are left to HTTP: a torrent is a static file every server sizes.
        if (head.status != 200 || head.chunked ||
            (head.hasContentLength && head.contentLength > kLargestTorrent))
            return probe;
        const BodyRead read = ReadBody(conn, head, timeoutMs, stop, probe.bytes);
        if (read == BodyRead::kWhole) {
            probe.outcome = ProbeOutcome::kFound;
        } else {
            probe.outcome = read == BodyRead::kStopped ? ProbeOutcome::kStopped
                                                       : ProbeOutcome::kUnreachable;
            probe.bytes.clear();
        }
        return probe;
    }
    return probe;
}

}  // namespace vexa::engine
