// What a connection does with each reply to a range request.
#include <gtest/gtest.h>

#include "engine/core/ReplyRule.h"

using namespace vexa::engine;

namespace {

// A later request of a seed or the origin: bytes 100..199 of a 1000-byte file, span to 500.
ReplyContext Later(bool fromOrigin) {
    ReplyContext context;
    context.fromOrigin = fromOrigin;
    context.from = 100;
    context.to = 500;
    context.knownTotal = 1000;
    return context;
}

HttpResponseHead Partial(uint64_t first, uint64_t last, uint64_t total) {
    HttpResponseHead head;
    head.status = 206;
    head.contentRange.present = head.contentRange.valid = true;
    head.contentRange.first = first;
    head.contentRange.last = last;
    head.contentRange.totalKnown = true;
    head.contentRange.total = total;
    head.hasContentLength = true;
    head.contentLength = last - first + 1;
    return head;
}

HttpResponseHead Status(int status) {
    HttpResponseHead head;
    head.status = status;
    return head;
}

ReplyAction ActionOf(const HttpResponseHead& head, const ReplyContext& context) {
    return ClassifyReply(head, context).action;
}

void ExpectFailure(const HttpResponseHead& head, const ReplyContext& context, FailureKind kind) {
    ReplyVerdict verdict = ClassifyReply(head, context);
    EXPECT_EQ(verdict.action, ReplyAction::Fail) << "status " << head.status;
    EXPECT_EQ(verdict.failure, kind) << "status " << head.status;
}

}  // namespace

TEST(ReplyRule, TheRangeAsAskedIsReadToItsLength) {
    ReplyVerdict verdict = ClassifyReply(Partial(100, 199, 1000), Later(false));
    EXPECT_EQ(verdict.action, ReplyAction::ReadBody);
    EXPECT_EQ(verdict.bodyLength, 100u);
    HttpResponseHead noLength = Partial(100, 498, 1000);
    noLength.hasContentLength = false;
    EXPECT_EQ(ClassifyReply(noLength, Later(true)).bodyLength, 399u);
    HttpResponseHead identity = Partial(100, 199, 1000);
    identity.contentEncoding = "identity";
    EXPECT_EQ(ActionOf(identity, Later(false)), ReplyAction::ReadBody);
}

TEST(ReplyRule, TheFirstReplySizesTheFileWhateverItsRange) {
    ReplyContext first;
    first.firstReply = true;
    EXPECT_EQ(ActionOf(Partial(0, 99, 1000), first), ReplyAction::AcceptFirst);
    EXPECT_EQ(ActionOf(Status(200), first), ReplyAction::AcceptFirst);
    HttpResponseHead packed = Status(200);
    packed.contentEncoding = "gzip";
    ExpectFailure(packed, first, FailureKind::Fatal);  // not the file's bytes
}

TEST(ReplyRule, AnotherVersionRestartsTheOriginAndDropsASeed) {
    EXPECT_EQ(ActionOf(Status(200), Later(true)), ReplyAction::RestartChangedFile);
    ExpectFailure(Status(200), Later(false), FailureKind::Fatal);
    EXPECT_EQ(ActionOf(Partial(100, 199, 2000), Later(true)), ReplyAction::RestartChangedFile);
    ExpectFailure(Partial(100, 199, 2000), Later(false), FailureKind::Fatal);
}

TEST(ReplyRule, ARangeThatDoesNotFitIsTriedAgain) {
    ExpectFailure(Partial(101, 199, 1000), Later(true), FailureKind::Transient);  // wrong start
    ExpectFailure(Partial(100, 500, 1000), Later(true), FailureKind::Transient);  // past the span
    HttpResponseHead lengths = Partial(100, 199, 1000);
    lengths.contentLength = 99;
    ExpectFailure(lengths, Later(true), FailureKind::Transient);
    HttpResponseHead unknownTotal = Partial(100, 199, 1000);
    unknownTotal.contentRange.totalKnown = false;
    ExpectFailure(unknownTotal, Later(true), FailureKind::Transient);
    HttpResponseHead multipart = Partial(100, 199, 1000);
    multipart.multipart = true;
    ExpectFailure(multipart, Later(true), FailureKind::Transient);
    HttpResponseHead malformed = Partial(100, 199, 1000);
    malformed.contentRange.valid = false;
    ExpectFailure(malformed, Later(true), FailureKind::Transient);
}

TEST(ReplyRule, RefusalsCountBySeverity) {
    EXPECT_EQ(ActionOf(Status(416), Later(true)), ReplyAction::CheckUnsatisfiable);
    EXPECT_EQ(FailureOfStatus(416), FailureKind::Transient);
    for (int status : {429, 503})
        ExpectFailure(Status(status), Later(true), FailureKind::Throttled);
    for (int status : {500, 502, 408, 403, 301, 304}) {
        ExpectFailure(Status(status), Later(true), FailureKind::Transient);
    }
    for (int status : {404, 410, 400, 401}) {
        ExpectFailure(Status(status), Later(true), FailureKind::Fatal);
    }
}

TEST(ReplyRule, AVanishedRedirectTargetGoesBackToTheLinkGiven) {
    ReplyContext redirected = Later(true);
    redirected.redirected = true;
    for (int status : {404, 410, 403}) {
        EXPECT_EQ(ActionOf(Status(status), redirected), ReplyAction::BackToOriginalLink);
    }
    ExpectFailure(Status(500), redirected, FailureKind::Transient);
}

// Connections that read the old version together all report the change. The first starts
// over; the others report a generation that is gone, even once the restart budget is spent
// by that very restart, and must not give the origin up for it.
TEST(ReplyRule, AChangeIsActedOnOnceByWhoeverReportsItFirst) {
    const int budget = 3;
    EXPECT_EQ(OnOriginChanged(4, 4, 2, budget), ChangeAction::StartOver);
    EXPECT_EQ(OnOriginChanged(4, 5, 3, budget), ChangeAction::AlreadyDone)
        << "a late report of the third change";
    EXPECT_EQ(OnOriginChanged(5, 5, 3, budget), ChangeAction::GiveUp) << "a fourth change";
}

// The origin's file changed and the download started over while a seed's request was on the
// wire: the plan it is judged against is gone (no size yet), which must not make the seed
// look like another file, nor its 416 a bad answer. What the server says about itself
// still counts.
TEST(ReplyRule, RepliesToADownloadThatStartedOverAreDiscarded) {
    for (bool fromOrigin : {false, true}) {
        ReplyContext stale = Later(fromOrigin);
        stale.startedOver = true;
        stale.knownTotal = 0;
        EXPECT_EQ(ActionOf(Partial(100, 199, 1000), stale), ReplyAction::Discard);
        EXPECT_EQ(ActionOf(Status(200), stale), ReplyAction::Discard);
        EXPECT_EQ(ActionOf(Status(416), stale), ReplyAction::Discard);
        ExpectFailure(Status(404), stale, FailureKind::Fatal);
        ExpectFailure(Status(503), stale, FailureKind::Throttled);
        stale.redirected = true;
        EXPECT_EQ(ActionOf(Status(410), stale), ReplyAction::BackToOriginalLink);
    }
}

TEST(ReplyRule, ChunkFramingIsNeverTakenForTheRangesBytes) {
    HttpResponseHead chunked = Partial(100, 199, 1000);
    chunked.hasContentLength = false;
    chunked.chunked = true;
    ExpectFailure(chunked, Later(true), FailureKind::Transient);
}

TEST(ReplyRule, RedirectsAreFollowedToAnHttpTargetAndNotForever) {
    HttpUrl asked, next;
    ASSERT_TRUE(ParseHttpUrl("http://a.example/f/x.bin", asked));
    HttpResponseHead moved = Status(302);
    moved.location = "/g/x.bin";
    EXPECT_EQ(NextRedirect(moved, asked, 0, 10, next), RedirectStep::Follow);
    EXPECT_EQ(next.ToString(), "http://a.example/g/x.bin");
    EXPECT_EQ(NextRedirect(moved, asked, 10, 10, next), RedirectStep::GiveUp);
    moved.location = "https://b.example/x.bin";
    EXPECT_EQ(NextRedirect(moved, asked, 0, 10, next), RedirectStep::GiveUp);
    moved.location.clear();
    EXPECT_EQ(NextRedirect(moved, asked, 0, 10, next), RedirectStep::None);
    HttpResponseHead notModified = Status(304);
    notModified.location = "/g/x.bin";
    EXPECT_EQ(NextRedirect(notModified, asked, 0, 10, next), RedirectStep::None);
}

TEST(ReplyRule, ABrokenHeadIsTheServersFaultAndANetworkFailureLeavesTheTarget) {
    BrokenExchange malformed = JudgeBrokenExchange(true, false, true);
    EXPECT_EQ(malformed.failure, FailureKind::Transient);
    EXPECT_FALSE(malformed.leaveTarget);
    EXPECT_EQ(JudgeBrokenExchange(false, true, true).failure, FailureKind::Refused);
    EXPECT_EQ(JudgeBrokenExchange(false, true, false).failure, FailureKind::Transport);
    EXPECT_EQ(JudgeBrokenExchange(false, false, true).failure, FailureKind::Transport);
    EXPECT_TRUE(JudgeBrokenExchange(false, false, false).leaveTarget);
}
