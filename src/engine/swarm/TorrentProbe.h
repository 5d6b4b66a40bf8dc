#pragma once
// Asks the origin for a file's torrent (the link + ".torrent") before the transfer starts.
// One small request: a publisher without a swarm answers 404 and the task goes on over
// HTTP exactly as before.

#include <atomic>
#include <string>

namespace vexa::engine {

enum class ProbeOutcome {
    kFound,        // `bytes` holds the torrent
    kAbsent,       // an answer that is no torrent (404, 410, any other status, too large)
    kUnreachable,  // no answer: the network or the server is down
    kStopped,
};

struct TorrentProbe {
    ProbeOutcome outcome = ProbeOutcome::kAbsent;
    std::string bytes;
};

TorrentProbe FetchTorrent(const std::string& link, int timeoutMs, const std::atomic<bool>& stop);

}  // namespace vexa::engine
