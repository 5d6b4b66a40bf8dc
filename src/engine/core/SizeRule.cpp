#include "engine/core/SizeRule.h"

namespace vexa::engine {
namespace {

FirstReplyPlan Plan(FirstReplyKind kind, uint64_t total = 0, uint64_t bodyLength = 0) {
    FirstReplyPlan plan;
    plan.kind = kind;
    plan.total = total;
    plan.bodyLength = bodyLength;
    return plan;
}

// Some servers cap the length of one reply: a shorter answer than asked is fine, the rest
// of the file is asked for later. Bytes in chunked coding are never taken for the range's
// own bytes.
FirstReplyPlan PlanPartial(const HttpResponseHead& head, uint64_t maxFileSize) {
    const ContentRange& range = head.contentRange;
    if (!range.valid || !range.totalKnown || head.multipart || head.chunked || range.first != 0 ||
        (head.hasContentLength && head.contentLength != range.last + 1)) {
        return Plan(FirstReplyKind::Unusable);
    }
    if (range.total > maxFileSize) return Plan(FirstReplyKind::TooLarge);
    return Plan(FirstReplyKind::Ranged, range.total, range.last + 1);
}

}  // namespace

FirstReplyPlan PlanFirstReply(const HttpResponseHead& head, uint64_t maxFileSize) {
    if (head.status == 206) return PlanPartial(head, maxFileSize);
    if (!head.hasContentLength) {
        return Plan(head.chunked ? FirstReplyKind::Chunked : FirstReplyKind::NoLength);
    }
    if (head.contentLength > maxFileSize) return Plan(FirstReplyKind::TooLarge);
    return Plan(FirstReplyKind::Whole, head.contentLength, head.contentLength);
}

bool FitsFileCap(uint64_t offset, uint64_t length, uint64_t maxFileSize) {
    return offset <= maxFileSize && length <= maxFileSize - offset;
}

UnsatisfiableAction JudgeUnsatisfiable(const ContentRange& range, const ReplyContext& context,
                                       bool complete) {
    if (context.startedOver) return UnsatisfiableAction::Fail;
    if (context.planned && complete) return UnsatisfiableAction::Complete;
    if (!context.planned && context.firstReply && range.totalKnown && range.total == 0) {
        return UnsatisfiableAction::EmptyFile;
    }
    if (context.planned && range.totalKnown && range.total != context.knownTotal) {
        return UnsatisfiableAction::OtherFile;
    }
    return UnsatisfiableAction::Fail;
}

}  // namespace vexa::engine
