#pragma once
// Decides which bytes of a file each connection fetches next, and keeps track of which
// bytes are known to be written. Pure bookkeeping: no threads, no clock, no I/O; the
// caller serialises calls and passes the time in milliseconds.
//
// The missing part of the file is a set of spans. A span is worked on from its front
// (`pos`) towards its end; everything before `pos` has been written. An idle connection
//  1. takes a span nobody works on;
//  2. else takes the back part of the span that would take longest to finish, leaving its
//     owner the front part sized by how fast the owner is (a quiet owner keeps one block);
//  3. else, in the endgame, races the owner of a span that is late, from the owner's
//     position to its end. Near the end (little left) an owner counts as quiet already
//     after a few of its usual gaps between writes, so one stalled connection costs a
//     fraction of a second rather than the full quiet time. Whoever is first advances `pos`; the
//     other's bytes are duplicates, and duplicate work is bounded by a share of the file.
// Spans begin on block boundaries, so a block is complete once a span's `pos` passes it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::engine {

struct PlannerPolicy {
    uint32_t blockSize = 64 * 1024;
    uint64_t minPiece = 1024 * 1024;  // a split leaves both halves at least this long
    double duplicateShare = 0.02;     // endgame budget, as a share of the file size
    uint32_t lateAfterMs = 1000;      // a span is late when its owner went quiet this long
    double lateSeconds = 2.0;         // ... or needs longer than this to finish
    // Near the end, an owner is quiet after three of its usual gaps between writes, but
    // never sooner than this (a steady connection writes at least every quarter second).
    uint32_t endgameQuietMs = 400;
};

struct Assignment {
    int span = -1;
    uint64_t from = 0;
    uint64_t to = 0;  // exclusive; the span's end may shrink later (see EndOf)
    bool duplicate = false;
};

// The longest single request: a reply's head is the only place where a file changed on
// the server shows, so all connections together keep at most about 1/16 of the file in
// flight between heads (but ask for at least a piece). Near the end every connection asks
// for no more than half its share of what is missing, so that they finish together instead
// of waiting for the one that asked for a whole piece (a split never cuts into a request,
// so what is not asked for yet is what idle connections can still take over).
uint64_t RequestCap(uint64_t totalSize, uint64_t missing, int connections,
                    const PlannerPolicy& policy);

class RangePlanner {
public:
    // `doneBits`: blocks already complete (ProgressRecord's bitmap); shorter means missing.
    RangePlanner(uint64_t totalSize, const std::vector<uint8_t>& doneBits,
                 const PlannerPolicy& policy);

    // `maxLength` bounds the request: its end is where the owner has asked the server to
    // stop, and a split never cuts into bytes already asked for (the server sends them
    // anyway), unless the owner has gone quiet. Unbounded, a split may cut anywhere.
    bool Assign(int conn, uint64_t nowMs, Assignment& out, uint64_t maxLength = UINT64_MAX);
    // The connection wrote [offset, offset + length) for `span`. Returns the bytes that
    // were new (counted towards progress); the rest were duplicates or past the span.
    uint64_t Commit(int span, uint64_t offset, uint64_t length, uint64_t nowMs);
    // Where the connection on `span` must stop now; 0 once the span is finished.
    uint64_t EndOf(int span) const;
    // The connection stops working on `span` (finished, failed or stopped).
    void Release(int span, int conn);

    uint64_t TotalSize() const { return total_; }
    uint64_t DoneBytes() const { return doneBytes_; }
    uint64_t DuplicateBytes() const { return duplicateBytes_; }
    bool Complete() const { return doneBytes_ == total_; }
    const std::vector<uint8_t>& DoneBits() const { return doneBits_; }
    size_t ActiveSpans() const;

private:
    struct Span {
        uint64_t start = 0, pos = 0, end = 0;
        uint64_t requested = 0;     // the primary owner's request ends here
        bool bounded = false;       // ... and the server stops there
        std::vector<int> owners;    // the first owner is the primary, a second one races it
        uint64_t ownedSinceMs = 0;  // when the primary took it
        uint64_t bytesSinceOwned = 0;
        uint64_t lastCommitMs = 0;
        uint64_t commitGapMs = 0;  // smoothed time between the owner's writes; 0: unknown
        bool finished = false;
    };

    double RateOf(const Span& s, uint64_t nowMs) const;
    double SecondsLeft(const Span& s, uint64_t nowMs) const;
    double TypicalRate(uint64_t nowMs) const;
    bool TakeUnowned(int conn, uint64_t nowMs, Assignment& out);
    int SlowestSplittable(uint64_t nowMs, uint64_t least) const;
    bool SplitSlowest(int conn, uint64_t nowMs, Assignment& out);
    uint64_t SplitFrom(const Span& s, uint64_t nowMs) const;
    bool TakeBack(int index, uint64_t cut, int conn, uint64_t nowMs, Assignment& out);
    bool Quiet(const Span& s, uint64_t nowMs) const;
    uint64_t MinPiece() const;
    bool NearTheEnd() const { return total_ - doneBytes_ <= nearEndBytes_; }
    bool RaceLateSpan(int conn, uint64_t nowMs, Assignment& out);
    void MarkBlocks(const Span& s, uint64_t fromPos);
    uint64_t AlignUp(uint64_t x) const;

    uint64_t total_;
    PlannerPolicy policy_;
    std::vector<uint8_t> doneBits_;
    std::vector<Span> spans_;
    uint64_t doneBytes_ = 0;
    uint64_t duplicateBytes_ = 0;
    uint64_t duplicateBudget_ = 0;
    uint64_t nearEndBytes_ = 0;  // this little left: judge quiet owners by their own pace
    double fastestRate_ = 0;     // best connection speed seen, bytes per second
};

}  // namespace vexa::engine
