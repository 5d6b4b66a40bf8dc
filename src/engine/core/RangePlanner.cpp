#include "engine/core/RangePlanner.h"

#include <algorithm>

namespace vexa::engine {

uint64_t RequestCap(uint64_t totalSize, uint64_t missing, int connections,
                    const PlannerPolicy& policy) {
    const uint64_t bs = policy.blockSize ? policy.blockSize : 64 * 1024;
    const uint64_t n = static_cast<uint64_t>(std::max(connections, 1));
    uint64_t cap = std::max<uint64_t>(totalSize / (16 * n), policy.minPiece);
    cap = std::min(cap, std::max(missing / (2 * n), 2 * bs));
    return (cap + bs - 1) / bs * bs;
}

RangePlanner::RangePlanner(uint64_t totalSize, const std::vector<uint8_t>& doneBits,
                           const PlannerPolicy& policy)
    : total_(totalSize), policy_(policy) {
    if (policy_.blockSize == 0) policy_.blockSize = 64 * 1024;
    if (policy_.minPiece < policy_.blockSize) policy_.minPiece = policy_.blockSize;
    const uint64_t bs = policy_.blockSize;
    const uint64_t blocks = (total_ + bs - 1) / bs;
    doneBits_.assign((blocks + 7) / 8, 0);
    for (size_t i = 0; i < doneBits_.size() && i < doneBits.size(); ++i) doneBits_[i] = doneBits[i];
    if (blocks % 8 && !doneBits_.empty())
        doneBits_.back() &= static_cast<uint8_t>((1u << (blocks % 8)) - 1);

    // Every run of missing blocks becomes one span.
    uint64_t b = 0;
    while (b < blocks) {
        bool done = (doneBits_[b / 8] >> (b % 8)) & 1;
        if (done) {
            doneBytes_ += std::min(bs, total_ - b * bs);
            ++b;
            continue;
        }
        uint64_t first = b;
        while (b < blocks && !((doneBits_[b / 8] >> (b % 8)) & 1)) ++b;
        Span s;
        s.start = s.pos = first * bs;
        s.end = std::min(b * bs, total_);
        spans_.push_back(s);
    }
    duplicateBudget_ = static_cast<uint64_t>(policy_.duplicateShare * static_cast<double>(total_));
    nearEndBytes_ = std::max(duplicateBudget_, 4 * policy_.minPiece);
}

uint64_t RangePlanner::AlignUp(uint64_t x) const {
    const uint64_t bs = policy_.blockSize;
    return (x + bs - 1) / bs * bs;
}

size_t RangePlanner::ActiveSpans() const {
    size_t n = 0;
    for (const Span& s : spans_) n += !s.finished;
    return n;
}

double RangePlanner::RateOf(const Span& s, uint64_t nowMs) const {
    if (s.owners.empty()) return 0;
    uint64_t elapsed = nowMs > s.ownedSinceMs ? nowMs - s.ownedSinceMs : 0;
    if (elapsed < 200) return -1;  // too early to judge
    return static_cast<double>(s.bytesSinceOwned) * 1000.0 / static_cast<double>(elapsed);
}

double RangePlanner::TypicalRate(uint64_t nowMs) const {
    double best = fastestRate_;
    for (const Span& s : spans_)
        if (!s.finished) best = std::max(best, RateOf(s, nowMs));
    return best;
}

double RangePlanner::SecondsLeft(const Span& s, uint64_t nowMs) const {
    double rate = RateOf(s, nowMs);
    double left = static_cast<double>(s.end - s.pos);
    if (rate < 0) return left / 1e12;  // unknown yet: order by size only
    return left / std::max(rate, 1.0);
}

bool RangePlanner::Assign(int conn, uint64_t nowMs, Assignment& out, uint64_t maxLength) {
    if (!TakeUnowned(conn, nowMs, out) && !SplitSlowest(conn, nowMs, out) &&
        !RaceLateSpan(conn, nowMs, out))
        return false;
    if (out.to - out.from > maxLength) out.to = out.from + maxLength;
    // Without a bound the owner's request protects nothing: a split may cut it anywhere.
    if (!out.duplicate) {
        spans_[out.span].requested = maxLength == UINT64_MAX ? out.from : out.to;
        spans_[out.span].bounded = maxLength != UINT64_MAX;
    }
    return true;
}

// Where a split of `s` may begin: past the bytes its owner has asked for, unless the owner
// went quiet (then only its next block stays with it).
uint64_t RangePlanner::SplitFrom(const Span& s, uint64_t nowMs) const {
    return Quiet(s, nowMs) ? s.pos : std::max(s.pos, s.requested);
}

bool RangePlanner::TakeUnowned(int conn, uint64_t nowMs, Assignment& out) {
    for (size_t i = 0; i < spans_.size(); ++i) {
        Span& s = spans_[i];
        if (s.finished || !s.owners.empty()) continue;
        s.owners.push_back(conn);
        s.ownedSinceMs = s.lastCommitMs = nowMs;
        s.bytesSinceOwned = 0;
        out = Assignment{static_cast<int>(i), s.pos, s.end, false};
        return true;
    }
    return false;
}

// The span that would take longest to finish among those with at least `least` bytes
// nobody has asked for yet (a quiet owner's span counts from its next block).
int RangePlanner::SlowestSplittable(uint64_t nowMs, uint64_t least) const {
    int best = -1;
    double bestLeft = 0;
    for (size_t i = 0; i < spans_.size(); ++i) {
        const Span& s = spans_[i];
        if (s.finished || s.owners.size() != 1) continue;
        // A quiet owner may be left a single block: taking the rest costs nothing.
        bool quiet = Quiet(s, nowMs);
        if (!quiet && !s.bounded && least < 2 * MinPiece()) continue;
        uint64_t need = quiet ? 2 * uint64_t{policy_.blockSize} : least;
        uint64_t from = SplitFrom(s, nowMs);
        if (from >= s.end || s.end - from < need) continue;
        double left = SecondsLeft(s, nowMs);
        if (best < 0 || left > bestLeft) best = static_cast<int>(i), bestLeft = left;
    }
    return best;
}

bool RangePlanner::SplitSlowest(int conn, uint64_t nowMs, Assignment& out) {
    int best = SlowestSplittable(nowMs, 2 * MinPiece());
    // In the tail an idle connection costs more than a short request: it takes half of
    // what the slowest span's owner has not asked for yet, down to a few blocks (only
    // behind a bounded request: an unbounded one is being sent to its end).
    if (best < 0) best = SlowestSplittable(nowMs, 4 * uint64_t{policy_.blockSize});
    if (best < 0) return false;
    Span& s = spans_[best];
    if (Quiet(s, nowMs)) {
        uint64_t cut = AlignUp(s.pos + 1);
        if (cut >= s.end) return false;
        return TakeBack(best, cut, conn, nowMs, out);
    }
    // The owner keeps a front part in proportion to its speed against the fastest
    // connection; an owner that is unknown yet keeps half.
    double own = RateOf(s, nowMs), fast = TypicalRate(nowMs);
    double share = 0.5;
    if (own >= 0 && fast > 0) share = std::clamp(own / (own + fast), 0.0, 0.5);
    uint64_t remaining = s.end - s.pos;
    uint64_t keep = std::max<uint64_t>(MinPiece(), static_cast<uint64_t>(share * remaining));
    uint64_t from = SplitFrom(s, nowMs);
    uint64_t cut = AlignUp(std::max(s.pos + keep, from));
    if (cut + MinPiece() > s.end) {
        cut = AlignUp(from + (s.end - from) / 2);
        if (cut >= s.end) return false;
    }
    return TakeBack(best, cut, conn, nowMs, out);
}

// Near the end the last bytes are shared among more connections: smaller pieces cost a
// few requests and save the time one connection would need for a whole piece.
uint64_t RangePlanner::MinPiece() const {
    if (!NearTheEnd()) return policy_.minPiece;
    return std::max<uint64_t>(policy_.minPiece / 4, 2 * uint64_t{policy_.blockSize});
}

bool RangePlanner::Quiet(const Span& s, uint64_t nowMs) const {
    uint64_t after = policy_.lateAfterMs;
    if (NearTheEnd() && s.commitGapMs > 0) {
        uint64_t own = std::max<uint64_t>(3 * s.commitGapMs, policy_.endgameQuietMs);
        after = std::min(after, own);
    }
    return nowMs >= s.lastCommitMs + after;
}

bool RangePlanner::TakeBack(int index, uint64_t cut, int conn, uint64_t nowMs, Assignment& out) {
    Span back;
    back.start = back.pos = cut;
    back.end = spans_[index].end;
    back.owners.push_back(conn);
    back.ownedSinceMs = back.lastCommitMs = nowMs;
    spans_[index].end = cut;
    spans_.push_back(back);
    out = Assignment{static_cast<int>(spans_.size() - 1), back.pos, back.end, false};
    return true;
}

bool RangePlanner::RaceLateSpan(int conn, uint64_t nowMs, Assignment& out) {
    int best = -1;
    double bestLeft = 0;
    for (size_t i = 0; i < spans_.size(); ++i) {
        const Span& s = spans_[i];
        if (s.finished || s.owners.size() != 1 || s.owners[0] == conn) continue;
        uint64_t remaining = s.end - s.pos;
        if (remaining > duplicateBudget_) continue;
        double left = SecondsLeft(s, nowMs);
        bool late = Quiet(s, nowMs) || (RateOf(s, nowMs) >= 0 && left > policy_.lateSeconds);
        if (!late) continue;
        if (best < 0 || left > bestLeft) best = static_cast<int>(i), bestLeft = left;
    }
    if (best < 0) return false;
    Span& s = spans_[best];
    duplicateBudget_ -= s.end - s.pos;
    s.owners.push_back(conn);
    out = Assignment{best, s.pos, s.end, true};
    return true;
}

void RangePlanner::MarkBlocks(const Span& s, uint64_t fromPos) {
    const uint64_t bs = policy_.blockSize;
    for (uint64_t b = fromPos / bs; b * bs < s.pos; ++b) {
        uint64_t blockEnd = std::min((b + 1) * bs, total_);
        if (blockEnd > s.pos || b * bs < s.start) continue;
        doneBits_[b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    }
}

uint64_t RangePlanner::Commit(int span, uint64_t offset, uint64_t length, uint64_t nowMs) {
    if (span < 0 || static_cast<size_t>(span) >= spans_.size()) return 0;
    Span& s = spans_[span];
    uint64_t stop = std::min(offset + length, s.end);
    if (s.finished || offset > s.pos || stop <= s.pos) {
        duplicateBytes_ += length;
        return 0;
    }
    uint64_t fresh = stop - s.pos;
    uint64_t old = s.pos;
    s.pos = stop;
    if (s.bytesSinceOwned > 0 && nowMs >= s.lastCommitMs) {
        // The wait before the first write includes connecting: only later gaps count.
        uint64_t gap = nowMs - s.lastCommitMs;
        s.commitGapMs = s.commitGapMs ? (3 * s.commitGapMs + gap) / 4 : std::max<uint64_t>(gap, 1);
    }
    s.bytesSinceOwned += fresh;
    s.lastCommitMs = nowMs;
    fastestRate_ = std::max(fastestRate_, RateOf(s, nowMs));
    doneBytes_ += fresh;
    duplicateBytes_ += length - fresh;
    MarkBlocks(s, old);
    if (s.pos >= s.end) {
        s.finished = true;
        s.owners.clear();
    }
    return fresh;
}

uint64_t RangePlanner::EndOf(int span) const {
    if (span < 0 || static_cast<size_t>(span) >= spans_.size()) return 0;
    const Span& s = spans_[span];
    return s.finished ? 0 : s.end;
}

void RangePlanner::Release(int span, int conn) {
    if (span < 0 || static_cast<size_t>(span) >= spans_.size()) return;
    Span& s = spans_[span];
    auto it = std::find(s.owners.begin(), s.owners.end(), conn);
    if (it == s.owners.end()) return;
    bool wasPrimary = it == s.owners.begin();
    s.owners.erase(it);
    if (wasPrimary && !s.owners.empty()) {
        // The racer carries on alone: judge it from now on. What it asked for is not
        // known here, so its span is not split again.
        s.requested = s.end;
        s.ownedSinceMs = s.lastCommitMs;
        s.bytesSinceOwned = 0;
        s.commitGapMs = 0;
    }
}

}  // namespace vexa::engine
