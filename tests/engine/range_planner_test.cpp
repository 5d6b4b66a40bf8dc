// Range planning: splitting, resuming from a block map, endgame duplication and its budget,
// and that progress never counts a byte twice.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/RangePlanner.h"

using namespace vexa::engine;

namespace {

const uint64_t KiB = 1024, MiB = 1024 * 1024;

PlannerPolicy SmallPolicy() {
    PlannerPolicy p;
    p.blockSize = 64 * KiB;
    p.minPiece = 1 * MiB;
    p.duplicateShare = 0.02;
    return p;
}

TEST(RangePlanner, IdleConnectionsSplitTheRemainderOnBlockBoundaries) {
    RangePlanner p(16 * MiB, {}, SmallPolicy());
    Assignment a, b, c;
    ASSERT_TRUE(p.Assign(1, 0, a));
    EXPECT_EQ(0u, a.from);
    EXPECT_EQ(16 * MiB, a.to);
    ASSERT_TRUE(p.Assign(2, 0, b));
    EXPECT_EQ(8 * MiB, b.from) << "unknown speed: the owner keeps half";
    EXPECT_EQ(16 * MiB, b.to);
    EXPECT_EQ(8 * MiB, p.EndOf(a.span));
    ASSERT_TRUE(p.Assign(3, 0, c));
    EXPECT_EQ(0u, c.from % (64 * KiB));
    EXPECT_FALSE(c.duplicate);
}

TEST(RangePlanner, StalledOwnerKeepsLittleOfItsSpan) {
    RangePlanner p(64 * MiB, {}, SmallPolicy());
    Assignment slow, fast;
    ASSERT_TRUE(p.Assign(1, 0, slow));
    ASSERT_TRUE(p.Assign(2, 0, fast));               // halves: [0,32) and [32,64)
    p.Commit(fast.span, fast.from, 32 * MiB, 1000);  // fast: done at 32 MiB/s
    p.Commit(slow.span, 0, 64 * KiB, 1000);
    p.Release(fast.span, 2);
    Assignment next;
    ASSERT_TRUE(p.Assign(2, 1000, next));
    EXPECT_EQ(slow.span, 0);
    EXPECT_LE(p.EndOf(slow.span), 64 * KiB + 2 * MiB) << "the stalled owner keeps about a piece";
    EXPECT_EQ(p.EndOf(slow.span), next.from);
}

TEST(RangePlanner, QuietOwnerOfASmallSpanKeepsOneBlockWhichIsThenRaced) {
    PlannerPolicy policy = SmallPolicy();
    policy.lateAfterMs = 1000;
    RangePlanner p(8 * MiB, {}, policy);  // budget 160 KiB: less than a piece
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    ASSERT_TRUE(p.Assign(2, 0, b));
    p.Commit(b.span, b.from, b.to - b.from, 100);
    p.Commit(a.span, 0, 4 * MiB - 448 * KiB, 100);  // 448 KiB left, then silence
    Assignment c;
    EXPECT_FALSE(p.Assign(2, 900, c)) << "not quiet yet, too small to split";
    ASSERT_TRUE(p.Assign(2, 1200, c));
    EXPECT_FALSE(c.duplicate);
    EXPECT_EQ(4 * MiB - 448 * KiB + 64 * KiB, c.from);
    EXPECT_EQ(c.from, p.EndOf(a.span));
    Assignment racer;
    ASSERT_TRUE(p.Assign(3, 1300, racer));
    EXPECT_TRUE(racer.duplicate);
    EXPECT_EQ(a.span, racer.span);
}

TEST(RangePlanner, NearTheEndASteadyOwnerIsQuietAfterAFewOfItsOwnGaps) {
    PlannerPolicy policy = SmallPolicy();
    policy.lateAfterMs = 1000;
    policy.endgameQuietMs = 400;
    RangePlanner p(64 * MiB, {}, policy);  // near the end: 4 MiB or less left
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    ASSERT_TRUE(p.Assign(2, 0, b));
    p.Commit(b.span, b.from, b.to - b.from, 100);
    p.Release(b.span, 2);
    // The owner writes every 100 ms, then stops 448 KiB before the end of its half: too
    // little to split while it keeps its pace (near the end pieces are 256 KiB or more).
    uint64_t pos = 0, stopAt = p.EndOf(a.span) - 448 * KiB;
    uint64_t t = 100;
    for (; pos < stopAt; t += 100) {
        uint64_t n =
            std::min<uint64_t>(pos == 0 ? stopAt - 10 * 512 * KiB : 512 * KiB, stopAt - pos);
        p.Commit(a.span, pos, n, t);
        pos += n;
    }
    uint64_t last = t - 100;
    Assignment c;
    EXPECT_FALSE(p.Assign(2, last + 350, c)) << "within its usual pace";
    ASSERT_TRUE(p.Assign(2, last + 450, c)) << "quiet for four of its gaps";
    EXPECT_FALSE(c.duplicate) << "first its range is cut back, nothing fetched twice";
    EXPECT_EQ(stopAt + 64 * KiB, c.from);
    p.Commit(c.span, c.from, c.to - c.from, last + 455);
    p.Release(c.span, 2);
    Assignment racer;
    ASSERT_TRUE(p.Assign(2, last + 460, racer));
    EXPECT_TRUE(racer.duplicate);
    EXPECT_EQ(stopAt, racer.from);
    EXPECT_EQ(stopAt + 64 * KiB, racer.to);
}

TEST(RangePlanner, FarFromTheEndQuietMeansTheFullTime) {
    PlannerPolicy policy = SmallPolicy();
    policy.lateAfterMs = 1000;
    RangePlanner p(64 * MiB, {}, policy);
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    ASSERT_TRUE(p.Assign(2, 0, b));  // halves, 32 MiB each: far from the end
    for (uint64_t i = 0; i < 4; ++i) p.Commit(a.span, i * 512 * KiB, 512 * KiB, 100 * (i + 1));
    for (uint64_t i = 0; i < 4; ++i)
        p.Commit(b.span, b.from + i * 512 * KiB, 512 * KiB, 100 * (i + 1));
    // A third connection arrives 500 ms after the last writes: the owners are not quiet, so
    // it splits by speed and leaves the owner at least a piece.
    Assignment c;
    ASSERT_TRUE(p.Assign(3, 900, c));
    uint64_t ownerPos = c.from >= b.from ? b.from + 2 * MiB : 2 * MiB;
    EXPECT_GE(c.from - ownerPos, 1 * MiB);
}

TEST(RangePlanner, NearTheEndPiecesAreSmaller) {
    RangePlanner p(64 * MiB, {}, SmallPolicy());
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    p.Commit(a.span, 0, 64 * MiB - 1536 * KiB, 1000);  // 1.5 MiB left, still flowing
    ASSERT_TRUE(p.Assign(2, 1000, b));
    EXPECT_FALSE(b.duplicate);
    EXPECT_EQ(64 * MiB, b.to);
    EXPECT_GE(b.from, 64 * MiB - 1536 * KiB + 256 * KiB) << "the owner keeps at least a piece";
    EXPECT_LE(b.to - b.from, 1280 * KiB);
}

TEST(RangePlanner, ResumesOnlyTheMissingBlocks) {
    std::vector<uint8_t> done(1, 0);
    done[0] = 0b00001111;  // blocks 0-3 of 6 done
    PlannerPolicy policy = SmallPolicy();
    RangePlanner p(6 * 64 * KiB - 10, done, policy);
    EXPECT_EQ(4 * 64 * KiB, p.DoneBytes());
    Assignment a;
    ASSERT_TRUE(p.Assign(1, 0, a));
    EXPECT_EQ(4 * 64 * KiB, a.from);
    EXPECT_EQ(6 * 64 * KiB - 10, a.to);
    EXPECT_EQ(2 * 64 * KiB - 10, p.Commit(a.span, a.from, a.to - a.from, 5));
    EXPECT_TRUE(p.Complete());
    EXPECT_EQ(0x3F, p.DoneBits()[0]);
}

TEST(RangePlanner, BitsBeyondTheLastBlockAreIgnored) {
    std::vector<uint8_t> done(1, 0xFF);
    RangePlanner p(3 * 64 * KiB, done, SmallPolicy());
    EXPECT_TRUE(p.Complete());
    EXPECT_EQ(3 * 64 * KiB, p.DoneBytes());
}

TEST(RangePlanner, BlocksAreMarkedOnlyWhenWhollyWritten) {
    RangePlanner p(4 * 64 * KiB, {}, SmallPolicy());
    Assignment a;
    ASSERT_TRUE(p.Assign(1, 0, a));
    p.Commit(a.span, 0, 64 * KiB + 100, 1);
    EXPECT_EQ(0x01, p.DoneBits()[0]);
    EXPECT_EQ(64 * KiB + 100, p.DoneBytes());
}

TEST(RangePlanner, EndgameRacesALateSpanWithinTheBudgetAndNeverDoubleCounts) {
    PlannerPolicy policy = SmallPolicy();
    policy.lateAfterMs = 1000;
    RangePlanner p(100 * MiB, {}, policy);  // duplicate budget: 2 MiB
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    ASSERT_TRUE(p.Assign(2, 0, b));
    // Connection 2 finishes its half quickly; connection 1 gets within 100 KiB of its end.
    p.Commit(b.span, b.from, b.to - b.from, 100);
    p.Release(b.span, 2);
    uint64_t stallAt = p.EndOf(a.span) - 100 * KiB;
    p.Commit(a.span, 0, stallAt, 100);
    Assignment racer;
    EXPECT_FALSE(p.Assign(2, 500, racer)) << "not late yet";
    ASSERT_TRUE(p.Assign(2, 5000, racer));
    EXPECT_TRUE(racer.duplicate);
    EXPECT_EQ(stallAt, racer.from);
    Assignment third;
    EXPECT_FALSE(p.Assign(3, 5000, third)) << "one racer per span";

    // Both write the same bytes; only the first copy counts.
    uint64_t before = p.DoneBytes();
    EXPECT_EQ(40 * KiB, p.Commit(racer.span, racer.from, 40 * KiB, 5100));
    EXPECT_EQ(0u, p.Commit(a.span, stallAt, 30 * KiB, 5200));
    EXPECT_EQ(before + 40 * KiB, p.DoneBytes());
    EXPECT_EQ(60 * KiB, p.Commit(racer.span, racer.from + 40 * KiB, 60 * KiB, 5300));
    EXPECT_TRUE(p.Complete());
    EXPECT_EQ(100 * MiB, p.DoneBytes());
    EXPECT_EQ(30 * KiB, p.DuplicateBytes());
    EXPECT_EQ(0u, p.EndOf(a.span)) << "the slow owner is told to stop";
}

TEST(RangePlanner, DuplicateWorkStaysWithinItsShareOfTheFile) {
    PlannerPolicy policy = SmallPolicy();
    policy.lateAfterMs = 0;
    policy.minPiece = 64 * KiB;
    RangePlanner p(10 * MiB, {}, policy);  // budget 204 KiB
    // Ten connections each own about 1 MiB; each is left with 100 KiB, too little to split.
    std::vector<Assignment> owned;
    for (int c = 0; c < 10; ++c) {
        Assignment a;
        ASSERT_TRUE(p.Assign(c, 0, a));
        owned.push_back(a);
    }
    for (auto& a : owned) p.Commit(a.span, a.from, p.EndOf(a.span) - a.from - 100 * KiB, 10);
    uint64_t raced = 0;
    Assignment r;
    for (int c = 10; c < 30 && p.Assign(c, 5000, r); ++c) {
        if (r.duplicate) raced += r.to - r.from;
    }
    EXPECT_GT(raced, 0u);
    EXPECT_LE(raced, 10 * MiB / 50) << "no more than 2 % of the file is raced";
}

TEST(RangePlanner, ReleasedSpanIsTakenUpFromWhereItStopped) {
    RangePlanner p(2 * MiB, {}, SmallPolicy());
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a));
    p.Commit(a.span, 0, 300 * KiB, 10);
    p.Release(a.span, 1);
    ASSERT_TRUE(p.Assign(2, 20, b));
    EXPECT_EQ(a.span, b.span);
    EXPECT_EQ(300 * KiB, b.from);
    EXPECT_EQ(0u, p.Commit(b.span, 400 * KiB, 10, 30)) << "a gap is never counted";
}

TEST(RangePlanner, EmptyFileIsCompleteAtOnce) {
    RangePlanner p(0, {}, SmallPolicy());
    EXPECT_TRUE(p.Complete());
    Assignment a;
    EXPECT_FALSE(p.Assign(1, 0, a));
}

}  // namespace

namespace {

TEST(RangePlanner, SplitsNeverCutIntoBytesAlreadyAskedForUnlessTheOwnerIsQuiet) {
    RangePlanner p(64 * MiB, {}, SmallPolicy());
    Assignment a, b;
    ASSERT_TRUE(p.Assign(1, 0, a, 4 * MiB));
    EXPECT_EQ(4 * MiB, a.to) << "the request is bounded";
    p.Commit(a.span, 0, 1 * MiB, 300);
    ASSERT_TRUE(p.Assign(2, 300, b, 4 * MiB));
    EXPECT_GE(b.from, 4 * MiB) << "the owner's request stays whole";
    EXPECT_GE(p.EndOf(a.span), 4 * MiB);

    // The owner goes quiet: all but its next block may be taken back.
    RangePlanner q(64 * MiB, {}, SmallPolicy());
    Assignment c, d;
    ASSERT_TRUE(q.Assign(1, 0, c, 4 * MiB));
    q.Commit(c.span, 0, 1 * MiB, 100);
    ASSERT_TRUE(q.Assign(2, 5000, d, 4 * MiB));
    EXPECT_EQ(1 * MiB + 64 * KiB, d.from);
    EXPECT_EQ(1 * MiB + 64 * KiB, q.EndOf(c.span));
}

}  // namespace

TEST(RangePlanner, InTheTailAnIdleConnectionTakesHalfOfWhatIsNotAskedForYet) {
    RangePlanner p(64 * MiB, {}, SmallPolicy());
    Assignment a, b, c;
    ASSERT_TRUE(p.Assign(1, 0, a, 64 * MiB - 512 * KiB));  // asked for all but 512 KiB
    ASSERT_TRUE(p.Assign(2, 0, b, 4 * MiB)) << "less than two pieces, but better than idle";
    EXPECT_FALSE(b.duplicate);
    EXPECT_EQ(64 * MiB - 256 * KiB, b.from);
    EXPECT_EQ(64 * MiB, b.to);
    EXPECT_EQ(b.from, p.EndOf(a.span)) << "the owner keeps all it asked for and half the rest";
    // The second one asked for its whole span; the first owner's unasked rest is halved
    // again, down to a few blocks, the least worth a request of its own.
    ASSERT_TRUE(p.Assign(3, 0, c, 4 * MiB));
    EXPECT_EQ(64 * MiB - 384 * KiB, c.from);
    EXPECT_EQ(64 * MiB - 256 * KiB, c.to);
    Assignment d;
    EXPECT_FALSE(p.Assign(4, 0, d, 4 * MiB));
}
