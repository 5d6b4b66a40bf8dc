// Fuzzes what the engine reads from outside: response heads (and what their sizes let the
// engine plan) and Content-Range values from servers, progress records from disk, task addresses and seed lists from the program.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/ChunkedDecoder.h"
#include "engine/core/HttpResponseHead.h"
#include "engine/core/ProgressRecord.h"
#include "engine/core/RangePlanner.h"
#include "engine/core/ReplyRule.h"
#include "engine/core/SizeRule.h"
#include "engine/core/TaskUrl.h"

using namespace vexa::engine;

namespace {

// Whatever size a head names, what the rules let through must be safe to plan from and to
// read: within the cap, a body that starts where asked and ends inside the file. The cap is
// small here so that every plan is cheap to build.
void JudgeSizes(const HttpResponseHead& head) {
    const uint64_t cap = 1ull << 32;
    FirstReplyPlan plan = PlanFirstReply(head, cap);
    if (plan.kind == FirstReplyKind::Ranged || plan.kind == FirstReplyKind::Whole) {
        if (plan.total > cap || plan.bodyLength > plan.total) __builtin_trap();
        PlannerPolicy policy;
        RangePlanner planner(plan.total, {}, policy);
        Assignment a;
        if (planner.Assign(1, 0, a, plan.bodyLength) && a.to > plan.total) __builtin_trap();
    }
    ReplyContext later;
    later.planned = true;
    later.from = 1ull << 20;
    later.to = 2ull << 20;
    later.knownTotal = head.contentRange.total;
    ReplyVerdict verdict = ClassifyReply(head, later);
    if (verdict.action == ReplyAction::ReadBody &&
        (verdict.bodyLength == 0 || later.from + verdict.bodyLength > later.to))
        __builtin_trap();
    (void)JudgeUnsatisfiable(head.contentRange, later, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    std::string s(text, size - 1);
    switch (data[0] % 4) {
        case 0: {
            HttpResponseHead head;
            size_t end = FindHeadEnd(text, size - 1);
            if (end && ParseResponseHead(text, end, head)) {
                (void)head.StrongValidator();
                (void)RetryAfterSeconds(head.retryAfter, 1700000000);
                JudgeSizes(head);
            }
            break;
        }
        case 1: {
            ProgressRecord record;
            if (ParseRecord(data + 1, size - 1, record) && record.totalSize < (1ull << 32)) {
                // A record that parses must be safe to plan from.
                PlannerPolicy policy;
                policy.blockSize = record.blockSize < 4096 ? 4096 : record.blockSize;
                RangePlanner planner(record.totalSize, record.doneBits, policy);
                Assignment a;
                if (planner.Assign(1, 0, a)) planner.Commit(a.span, a.from, a.to - a.from, 1);
            }
            break;
        }
        case 2: {
            TaskAddress address;
            HttpUrl url, next;
            if (ParseTaskAddress(s, address) && ParseHttpUrl(address.link, url))
                ResolveLocation(url, s, next);
            break;
        }
        default: {
            (void)ParseContentRange(s);
            (void)SplitSeedList(s);
            ChunkedDecoder decoder;
            std::vector<char> body;
            size_t used = 0;
            decoder.Feed(s.data(), s.size(), body, used);
            break;
        }
    }
    return 0;
}
