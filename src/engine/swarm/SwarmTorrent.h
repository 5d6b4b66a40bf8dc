#pragma once
// One task's file in the swarm. The file lives as TARGET.P2P while pieces arrive (from peers
// and web seeds at once, each piece checked against its hash before it counts); when the
// last one has passed, it is renamed to TARGET and keeps being served to others.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include <libtorrent/alert.hpp>
#include <libtorrent/torrent_handle.hpp>

#include "engine/TransferTask.h"
#include "engine/core/SourceLedger.h"
#include "engine/swarm/PieceFeeder.h"

namespace vexa::engine {

class SwarmTorrent {
public:
    // `originEndpoint`: "address:port" of the link's server, to tell its web seed apart.
    // `feeder`: the engine's own connections to the servers; null when web seeds fetch.
    SwarmTorrent(lt::torrent_handle handle, std::wstring targetPath, std::string originEndpoint,
                 std::unique_ptr<PieceFeeder> feeder);
    ~SwarmTorrent();
    SwarmTorrent(const SwarmTorrent&) = delete;
    SwarmTorrent& operator=(const SwarmTorrent&) = delete;

    void Resume();
    // Pauses an unfinished download; a finished file keeps being served.
    void Pause();
    // The last look at the swarm, taken by Refresh. The swarm answers questions on its network
    // thread, which is busy checking pieces at times; the caller (the window's timer) must
    // not wait for it.
    TaskStatus Status();
    // Looks at the swarm now; called on the session's alert thread a few times a second.
    void Refresh();
    bool Finished() const { return state_.load() == kStateFinished; }
    const lt::torrent_handle& Handle() const { return handle_; }

    // Called on the session's alert thread.
    void OnAlert(const lt::alert& alert);

private:
    void BeginFinish();
    TaskStatus Measure();
    void Sample(TaskStatus& status, uint64_t peerPayload);
    void NoteBan(const lt::tcp::endpoint& peer);

    lt::torrent_handle handle_;
    std::wstring targetPath_;
    std::string originEndpoint_;
    std::unique_ptr<PieceFeeder> feeder_;
    std::atomic<uint8_t> state_{kStateRunning};
    std::atomic<bool> finishing_{false};
    std::mutex mu_;  // guards everything below
    std::set<std::string> banned_;  // addresses; a banned peer that calls again is no new ban
    SourceLedger ledger_;
    uint64_t resumed_ = 0;
    TaskStatus measured_;
    // The swarm's payload counter starts from zero at every resume; what it had counted
    // before is kept here.
    uint64_t payloadBefore_ = 0;
    uint64_t payloadLast_ = 0;
};

}  // namespace vexa::engine
