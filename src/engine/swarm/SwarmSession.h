#pragma once
// The module's one BitTorrent session, made when the first task finds a torrent (a package
// without one never opens a listening socket, so never raises the firewall's question) and
// ended by Uninit. A thread reads the session's alerts and hands each to its torrent.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <libtorrent/session.hpp>
#include <libtorrent/torrent_info.hpp>

#include "engine/core/EngineSettings.h"
#include "engine/core/SwarmSettings.h"
#include "engine/swarm/PieceFeeder.h"
#include "engine/swarm/SwarmTorrent.h"

namespace vexa::engine {

struct SwarmJoin {
    std::shared_ptr<const lt::torrent_info> torrent;
    std::wstring targetPath;
    std::vector<FeedSourceAddress> servers;  // the task's link and seed copies
    std::string originEndpoint;
    EngineSettings http;  // for the engine's own connections to the servers
};

class SwarmSession {
public:
    explicit SwarmSession(const SwarmSettings& settings);
    ~SwarmSession();
    SwarmSession(const SwarmSession&) = delete;
    SwarmSession& operator=(const SwarmSession&) = delete;

    // Adds the file paused (the task resumes it). An earlier torrent of the same file (a
    // finished one still being served, a task replaced) leaves the session first. Null with
    // `error` set when the swarm refuses it.
    std::shared_ptr<SwarmTorrent> Join(const SwarmJoin& join, std::string* error);
    // Removes the torrent; its files stay on disk.
    void Leave(const std::shared_ptr<SwarmTorrent>& torrent);

private:
    void AlertLoop();
    void RefreshAll();
    void RemoveAndWait(const lt::torrent_handle& handle);

    SwarmSettings settings_;
    lt::session session_;
    std::mutex mu_;  // guards torrents_
    std::map<lt::torrent_handle, std::shared_ptr<SwarmTorrent>> torrents_;
    std::atomic<bool> stop_{false};
    std::thread alerts_;
};

// The lazily made session, owned by the engine's registry.
class SwarmHost {
public:
    void Configure(const SwarmSettings& settings);
    SwarmSettings Settings() const;
    SwarmSession& Session();
    void Shutdown();

private:
    mutable std::mutex mu_;
    SwarmSettings settings_;
    std::unique_ptr<SwarmSession> session_;
};

}  // namespace vexa::engine
