#include "engine/core/ReplyRule.h"

#include "engine/core/RedirectRule.h"

namespace vexa::engine {
namespace {

ReplyVerdict Act(ReplyAction action) {
    ReplyVerdict verdict;
    verdict.action = action;
    return verdict;
}

ReplyVerdict FailAs(FailureKind failure) {
    ReplyVerdict verdict;
    verdict.failure = failure;
    return verdict;
}

// The origin's file changed under us (it is started over); a seed holds another file under
// that name (it is of no use).
ReplyVerdict OtherFile(const ReplyContext& context) {
    return context.fromOrigin ? Act(ReplyAction::RestartChangedFile) : FailAs(FailureKind::Fatal);
}

ReplyVerdict ClassifyBytes(const HttpResponseHead& head, const ReplyContext& context) {
    if (!head.contentEncoding.empty() && head.contentEncoding != "identity") {
        return FailAs(FailureKind::Fatal);  // we asked for identity: these bytes are not the file
    }
    if (context.firstReply) return Act(ReplyAction::AcceptFirst);
    // A whole file where a range was asked for: If-Range failed or Range is no longer
    // honoured. Never mix two versions of the file.
    if (head.status == 200) return OtherFile(context);
    const ContentRange& range = head.contentRange;
    // Chunk framing is not the range's bytes.
    if (!range.valid || !range.totalKnown || head.multipart || head.chunked ||
        range.first != context.from) {
        return FailAs(FailureKind::Transient);
    }
    if (range.total != context.knownTotal) return OtherFile(context);
    uint64_t length = range.last - range.first + 1;
    if ((head.hasContentLength && head.contentLength != length) || range.last >= context.to) {
        return FailAs(FailureKind::Transient);
    }
    ReplyVerdict verdict = Act(ReplyAction::ReadBody);
    verdict.bodyLength = length;
    return verdict;
}

}  // namespace

ReplyVerdict ClassifyReply(const HttpResponseHead& head, const ReplyContext& context) {
    const int status = head.status;
    // Sizes and versions are judged against the download as it is now; one that started
    // over since the request went out has no plan yet, and that is no fault of the source.
    if (context.startedOver && (status == 206 || status == 200 || status == 416)) {
        return Act(ReplyAction::Discard);
    }
    if (status == 206 || status == 200) return ClassifyBytes(head, context);
    if (status == 416) return Act(ReplyAction::CheckUnsatisfiable);
    if ((status == 404 || status == 410 || status == 403) && context.redirected) {
        return Act(ReplyAction::BackToOriginalLink);
    }
    return FailAs(FailureOfStatus(status));
}

RedirectStep NextRedirect(const HttpResponseHead& head, const HttpUrl& asked, int hop,
                          int maxRedirects, HttpUrl& next) {
    if (!IsRedirectStatus(head.status) || head.location.empty()) return RedirectStep::None;
    if (hop >= maxRedirects || !ResolveLocation(asked, head.location, next)) {
        return RedirectStep::GiveUp;
    }
    return RedirectStep::Follow;
}

BrokenExchange JudgeBrokenExchange(bool headMalformed, bool refused, bool othersWork) {
    BrokenExchange verdict;
    if (headMalformed) {
        verdict.failure = FailureKind::Transient;
        return verdict;
    }
    verdict.failure = refused && othersWork ? FailureKind::Refused : FailureKind::Transport;
    verdict.leaveTarget = true;
    return verdict;
}

ChangeAction OnOriginChanged(uint64_t seenGeneration, uint64_t generation, int restarts,
                             int maxRestarts) {
    if (seenGeneration != generation) return ChangeAction::AlreadyDone;
    return restarts >= maxRestarts ? ChangeAction::GiveUp : ChangeAction::StartOver;
}

FailureKind FailureOfStatus(int status) {
    if (status == 429 || status == 503) return FailureKind::Throttled;
    if (status >= 500 || status == 403 || status == 408 || status == 416 ||
        (status >= 200 && status < 400)) {
        return FailureKind::Transient;
    }
    return FailureKind::Fatal;  // 404, 410 and the other client errors
}

}  // namespace vexa::engine
