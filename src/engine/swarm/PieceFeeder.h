#pragma once
// The HTTP side of a swarm download: the engine's own connections to the link and its seed
// copies fetch whole pieces and hand them to the swarm, which checks each against its hash
// like a peer's. It keeps what makes the HTTP transfer fast (several connections per server,
// as many as the server's rate rewards, kept alive, backoff and Retry-After), where the
// swarm's own web seeds use one connection per server. Which piece comes next is FeedPicker's
// decision; a server whose pieces keep failing their check is dropped.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <libtorrent/torrent_handle.hpp>

#include "engine/HttpConnection.h"
#include "engine/core/ConnectionGovernor.h"
#include "engine/core/EngineSettings.h"
#include "engine/core/FeedPicker.h"
#include "engine/core/SourceLedger.h"

namespace vexa::engine {

struct FeedSourceAddress {
    std::string url;
    bool origin = false;  // the task's own link; the others are seed copies
};

class PieceFeeder {
public:
    PieceFeeder(lt::torrent_handle handle, std::vector<FeedSourceAddress> sources,
                const EngineSettings& settings);
    ~PieceFeeder();
    PieceFeeder(const PieceFeeder&) = delete;
    PieceFeeder& operator=(const PieceFeeder&) = delete;

    void Start();
    // Ends every connection and waits for its thread.
    void Stop();
    // Asks the threads to end without waiting (the file is complete).
    void Halt();
    // The swarm's verdict on a piece; pieces that were not ours are ignored.
    void OnPieceChecked(int piece, bool passed);

    // One sample per server, for the record's speeds and bytes by kind of source.
    std::vector<ConnectionSample> Samples() const;
    uint64_t WireBytes() const { return wire_.load(); }
    uint64_t FailedBytes() const { return failed_.load(); }

private:
    struct Source {
        HttpUrl link;
        HttpUrl target;  // where the link last redirected to; empty host: the link itself
        bool origin = false;
        std::string key;
        SourceHealth health;
        ConnectionGovernor governor;
        int strikes = 0;  // pieces that failed their check
        std::atomic<uint64_t> bytes{0};
        std::atomic<uint32_t> rate{0};
        std::atomic<int> busy{0};
        uint64_t lastBytes = 0;
        uint64_t lastRateMs = 0;
        Source(const HttpUrl& url, bool isOrigin, const EngineSettings& s)
            : link(url), origin(isOrigin), health(s.governor.maxPerServer, s.retry),
              governor(s.governor) {}
    };
    enum class Outcome { kDone, kFailed, kStopped };

    void ControlLoop();
    void RefreshView(uint64_t nowMs);
    void GovernSources(uint64_t nowMs);
    void Worker(size_t source, int slot);
    int TakePiece(size_t source, int slot);
    uint32_t LiveSources() const;
    uint64_t PieceBytes(int piece) const;
    Outcome FetchPiece(HttpConnection& conn, Source& src, int piece, std::vector<char>& data);
    Outcome ReadPiece(HttpConnection& conn, Source& src, std::vector<char>& data);
    void Fail(Source& src, FailureKind kind, long long retryAfter, uint64_t round);

    lt::torrent_handle handle_;
    EngineSettings settings_;
    uint64_t total_ = 0;
    int pieceLength_ = 0;
    std::vector<std::unique_ptr<Source>> sources_;

    mutable std::mutex mu_;  // guards picker_, each source's health, governor and strikes
    std::condition_variable workCv_;     // connections wait here for a piece
    std::condition_variable controlCv_;  // the control thread waits here for its next look
    std::unique_ptr<FeedPicker> picker_;
    bool ready_ = false;  // the swarm is downloading (not checking, not paused, not complete)

    std::atomic<bool> stop_{true};
    std::atomic<uint64_t> wire_{0};
    std::atomic<uint64_t> fetched_{0};
    std::atomic<uint64_t> failed_{0};  // bytes of the servers' pieces that failed their check
    std::thread control_;
    std::vector<std::thread> workers_;
};

}  // namespace vexa::engine
