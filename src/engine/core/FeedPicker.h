#pragma once
// Which piece of a swarm download the HTTP side fetches next. The HTTP side (the link and
// its seed copies, through the engine's own connections) and the peers fill one file; every
// byte the HTTP side fetches is paid for by the publisher, so it takes first what no
// connected peer can give, and pieces peers have only while the peers deliver less than the
// HTTP side has shown it can. A player with a slow swarm still gets the servers' speed; a
// player among good peers costs the servers little.
//
// Each copy walks the file in an order of its own (its own start and stride), so copies that
// start together fetch different pieces from the servers and then trade them. (With one
// order for all, a copy that reaches pieces another is fetching would fetch them too, piece
// after piece, since a piece counts as had only once it passed its check.)
//
// A server's pieces are checked only after they arrive, so a fast server that sends other
// bytes could fill the swarm's queue with bad pieces before the first verdict. Each server
// therefore has a window of pieces it may have unchecked (fetching or waiting for the check),
// which starts small, grows by two with every piece that passes (tripling per check's round
// trip, like a TCP window's slow start but faster: checks take long under load) and falls
// back to one after a piece fails. Pure bookkeeping:
// the caller passes the swarm's state and the time.

#include <cstdint>
#include <deque>
#include <vector>

namespace vexa::engine {

// The swarm as last looked at, one entry per piece.
struct FeedView {
    std::vector<bool> have;           // passed its check
    std::vector<bool> peersFetching;  // blocks of it are asked of peers now
    std::vector<int> availability;    // connected peers that have it
    uint32_t peerRate = 0;            // payload from peers now, bytes per second
};

struct FeedPolicy {
    // Peers deliver enough while they bring at least this share of the best rate the HTTP
    // side reached lately...
    double helpShare = 0.5;
    // ... or, before the HTTP side has shown a rate, at least this much.
    uint32_t helpFloor = 1 << 20;
    uint32_t capacityWindowMs = 30000;  // how long a measured HTTP rate stays the best known
    uint32_t verdictWaitMs = 60000;
    int firstWindow = 4;   // unchecked pieces a server may have at first
    // Unchecked pieces of all servers together while peers have pieces this copy lacks. A
    // piece fetched from the origin is invisible to the other copies until it has passed its
    // check here, so each one in flight may be fetched by another copy too; among peers the
    // servers' bytes are best spent on few pieces at a time.
    int uncheckedAmongPeers = 4;
    int widestWindow = 256;
};

// The best one-second rate among the last window's seconds.
class RateWindow {
public:
    explicit RateWindow(uint32_t windowMs) : windowMs_(windowMs) {}
    // `bytes`: the HTTP side's total so far.
    void Observe(uint64_t nowMs, uint64_t bytes);
    uint32_t Best() const;

private:
    struct Second {
        uint64_t endMs;
        uint32_t rate;
    };
    uint32_t windowMs_;
    bool started_ = false;
    uint64_t secondStartMs_ = 0;
    uint64_t bytesAtSecondStart_ = 0;
    std::deque<Second> seconds_;
};

class FeedPicker {
public:
    static constexpr int kNone = -1;

    // `orderSeed`: any value that differs between copies (the copy's order of the pieces).
    FeedPicker(int pieces, uint32_t orderSeed, const FeedPolicy& policy = FeedPolicy());

    // A delivered piece the swarm reports as had counts as passed; one with no verdict
    // after `policy.verdictWaitMs` (the swarm dropped it unseen) is free again.
    void SetView(FeedView view, uint64_t nowMs);
    void ObserveHttp(uint64_t nowMs, uint64_t httpBytes) { capacity_.Observe(nowMs, httpBytes); }
    // True while the HTTP side also takes pieces that peers have.
    bool Helping() const;

    // The next piece for a connection of `source` (0..31), or kNone. `liveSources`: the
    // sources still in use, as a bit set; a piece that failed its check from one source is
    // given to another while one remains. None either while the source's window is full.
    int Next(int source, uint32_t liveSources);
    // The fetch failed: the piece is free again.
    void Release(int piece);
    // The piece went to the swarm; it stays taken until its check is known.
    void Delivered(int piece, int source, uint64_t nowMs);
    // The swarm checked a delivered piece. Returns the source it came from, or kNone when
    // the piece was not the HTTP side's.
    int Checked(int piece, bool passed);
    int Pieces() const { return static_cast<int>(takenBy_.size()); }
    int Window(int source) const { return window_[source]; }

private:
    enum class Tier { kNobodyHasIt, kPeersHaveIt, kPeersFetchIt };
    bool Fits(int piece, Tier tier) const;
    bool Allowed(int piece, int source, uint32_t liveSources) const;
    void Free(int piece);

    FeedPolicy policy_;
    int start_;
    int stride_;  // shares no factor with the number of pieces: every piece is visited once
    FeedView view_;
    RateWindow capacity_;
    std::vector<int> takenBy_;  // the source fetching it or awaiting its check, or kNone
    std::vector<bool> delivered_;
    // Passed its check. A view is looked at before it is handed in, so it may predate a
    // verdict already known here; a piece once had stays had.
    std::vector<bool> passed_;
    std::vector<uint64_t> deliveredAt_;
    std::vector<uint32_t> failedFrom_;  // sources whose copy of the piece failed its check
    bool peersUseful_ = false;  // some connected peer has a piece this copy lacks
    int window_[32];
    int unchecked_[32] = {};
};

}  // namespace vexa::engine
