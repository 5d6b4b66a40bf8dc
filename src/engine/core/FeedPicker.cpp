#include "engine/core/FeedPicker.h"

#include <algorithm>
#include <utility>

namespace vexa::engine {

void RateWindow::Observe(uint64_t nowMs, uint64_t bytes) {
    if (!started_) {
        started_ = true;
        secondStartMs_ = nowMs;
        bytesAtSecondStart_ = bytes;
        return;
    }
    const uint64_t elapsed = nowMs - secondStartMs_;
    if (elapsed < 1000) return;
    const uint64_t rate = (bytes - bytesAtSecondStart_) * 1000 / elapsed;
    seconds_.push_back({nowMs, static_cast<uint32_t>(std::min<uint64_t>(rate, UINT32_MAX))});
    secondStartMs_ = nowMs;
    bytesAtSecondStart_ = bytes;
    while (!seconds_.empty() && nowMs - seconds_.front().endMs > windowMs_) seconds_.pop_front();
}

uint32_t RateWindow::Best() const {
    uint32_t best = 0;
    for (const Second& s : seconds_) best = std::max(best, s.rate);
    return best;
}

namespace {

int CommonFactor(int a, int b) { return b == 0 ? a : CommonFactor(b, a % b); }

int StrideFor(int pieces, uint32_t seed) {
    if (pieces < 3) return 1;
    int stride = 1 + static_cast<int>((seed >> 16) % static_cast<uint32_t>(pieces - 1));
    while (CommonFactor(pieces, stride) != 1) stride = stride % (pieces - 1) + 1;
    return stride;
}

}  // namespace

FeedPicker::FeedPicker(int pieces, uint32_t orderSeed, const FeedPolicy& policy)
    : policy_(policy),
      start_(pieces > 0 ? static_cast<int>((orderSeed & 0xFFFF) % static_cast<uint32_t>(pieces)) : 0),
      stride_(StrideFor(pieces, orderSeed)),
      capacity_(policy.capacityWindowMs),
      takenBy_(pieces > 0 ? pieces : 0, kNone),
      delivered_(takenBy_.size(), false),
      passed_(takenBy_.size(), false),
      deliveredAt_(takenBy_.size(), 0),
      failedFrom_(takenBy_.size(), 0) {
    for (int& w : window_) w = policy_.firstWindow;
}

void FeedPicker::SetView(FeedView view, uint64_t nowMs) {
    const size_t n = takenBy_.size();
    view.have.resize(n, false);
    view.peersFetching.resize(n, false);
    view.availability.resize(n, 0);
    view_ = std::move(view);
    peersUseful_ = false;
    for (size_t piece = 0; piece < n; ++piece) {
        if (!view_.have[piece] && !passed_[piece] && view_.availability[piece] > 0) peersUseful_ = true;
        if (view_.have[piece]) passed_[piece] = true;
        view_.have[piece] = passed_[piece];
        if (!delivered_[piece]) continue;
        // A view taken before a delivery carries an earlier time than the delivery.
        const bool overdue = nowMs > deliveredAt_[piece] + policy_.verdictWaitMs;
        if (view_.have[piece] || overdue) Free(static_cast<int>(piece));
    }
}

bool FeedPicker::Helping() const {
    const uint32_t best = capacity_.Best();
    const double enough = best > 0 ? policy_.helpShare * best : policy_.helpFloor;
    return view_.peerRate < enough;
}

bool FeedPicker::Fits(int piece, Tier tier) const {
    if (takenBy_[piece] != kNone || passed_[piece]) return false;
    switch (tier) {
        case Tier::kNobodyHasIt:
            return view_.availability[piece] == 0 && !view_.peersFetching[piece];
        case Tier::kPeersHaveIt:
            return !view_.peersFetching[piece];
        case Tier::kPeersFetchIt:
            return true;
    }
    return false;
}

// A piece whose copy from this source failed goes to another source while one that has
// not failed it is still in use; with none left, a server that sent one bad piece (a
// proxy's fault, say) may try again, and a source that keeps failing is dropped by its
// owner.
bool FeedPicker::Allowed(int piece, int source, uint32_t liveSources) const {
    const uint32_t failed = failedFrom_[piece];
    if (!(failed & (1u << source))) return true;
    return (liveSources & ~failed) == 0;
}

int FeedPicker::Next(int source, uint32_t liveSources) {
    const int n = Pieces();
    if (n == 0 || source < 0 || source > 31) return kNone;
    if (unchecked_[source] >= window_[source]) return kNone;
    if (peersUseful_) {
        int unchecked = 0;
        for (int count : unchecked_) unchecked += count;
        if (unchecked >= policy_.uncheckedAmongPeers) return kNone;
    }
    std::vector<Tier> tiers{Tier::kNobodyHasIt};
    if (Helping()) {
        tiers.push_back(Tier::kPeersHaveIt);
        tiers.push_back(Tier::kPeersFetchIt);
    }
    for (Tier tier : tiers) {
        for (int i = 0; i < n; ++i) {
            const int piece = static_cast<int>((start_ + static_cast<int64_t>(i) * stride_) % n);
            if (Fits(piece, tier) && Allowed(piece, source, liveSources)) {
                takenBy_[piece] = source;
                ++unchecked_[source];
                return piece;
            }
        }
    }
    return kNone;
}

void FeedPicker::Free(int piece) {
    const int source = takenBy_[piece];
    if (source != kNone) --unchecked_[source];
    takenBy_[piece] = kNone;
    delivered_[piece] = false;
}

void FeedPicker::Release(int piece) {
    if (piece >= 0 && piece < Pieces()) Free(piece);
}

void FeedPicker::Delivered(int piece, int source, uint64_t nowMs) {
    if (piece < 0 || piece >= Pieces() || takenBy_[piece] != source) return;
    delivered_[piece] = true;
    deliveredAt_[piece] = nowMs;
}

int FeedPicker::Checked(int piece, bool passed) {
    if (piece < 0 || piece >= Pieces() || !delivered_[piece]) return kNone;
    const int source = takenBy_[piece];
    if (passed) {
        passed_[piece] = true;
        window_[source] = std::min(policy_.widestWindow, window_[source] + 2);
    } else {
        failedFrom_[piece] |= 1u << source;
        window_[source] = 1;
    }
    Free(piece);
    return source;
}

}  // namespace vexa::engine
