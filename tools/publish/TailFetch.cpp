#include "TailFetch.h"

#include <algorithm>

#include "RoutedFetch.h"
#include "engine/core/ReplyRule.h"

namespace publish {
namespace {

using vexa::engine::HttpResponseHead;
using vexa::engine::ReplyAction;
using vexa::engine::ReplyVerdict;
using vexa::engine::SourceRoute;

// A server that caps each reply at a few bytes would take a request per few bytes.
constexpr int kMaxReplies = 4096;
// Rounds in a row without a byte: a redirect target that vanished sends the next request
// back to the link, which may send it to a live one.
constexpr int kMaxIdleRounds = 3;

bool IsIdentity(const HttpResponseHead& head) {
    return head.contentEncoding.empty() || head.contentEncoding == "identity";
}

class CTailReader {
public:
    CTailReader(const vexa::engine::HttpUrl& link, bool fromOrigin, uint64_t listedSize,
                uint64_t first, int timeoutMs, const BodySink& sink)
        : route_(link),
          fromOrigin_(fromOrigin),
          listedSize_(listedSize),
          first_(first),
          next_(first),
          timeoutMs_(timeoutMs),
          sink_(sink) {}

    TailFetch Run() {
        int idle = 0;
        for (int replies = 0; next_ < listedSize_ && out_.problem.empty(); ++replies) {
            if (replies == kMaxReplies) {
                out_.problem = "more than " + std::to_string(kMaxReplies) + " replies for " +
                               std::to_string(listedSize_ - first_) + " bytes";
                break;
            }
            const uint64_t before = next_;
            Ask();
            idle = next_ == before ? idle + 1 : 0;
            if (idle == kMaxIdleRounds && out_.problem.empty())
                out_.problem = "no bytes after " + std::to_string(idle) + " tries: " + lastReason_;
        }
        return out_;
    }

private:
    void Ask() {
        FetchRequest request;
        request.ranged = true;
        request.first = next_;
        request.last = listedSize_ - 1;
        request.timeoutMs = timeoutMs_;
        ReplyVerdict verdict;
        bool whole = false;
        uint64_t seen = 0;  // body bytes of this reply
        request.onHead = [&](const HttpResponseHead& head) {
            whole = fromOrigin_ && head.status == 200 && IsIdentity(head) &&
                    (head.chunked || (head.hasContentLength && head.contentLength == listedSize_));
            verdict = vexa::engine::ClassifyReply(head, Context());
            return whole || verdict.action == ReplyAction::ReadBody;
        };
        const uint64_t skip = next_;
        const RoutedResult routed = FetchRouted(route_, request, [&](const char* data, size_t n) {
            // A whole file starts at byte 0; only the bytes from `first` on are wanted.
            const uint64_t drop = whole && seen < skip ? std::min<uint64_t>(skip - seen, n) : 0;
            seen += n;
            return drop == n || sink_(data + drop, static_cast<size_t>(n - drop));
        });
        out_.wireBytes += routed.fetched.wireBytes;
        out_.via = routed.visit ? routed.url : std::string();
        if (!routed.problem.empty()) {
            out_.problem = routed.problem;
        } else if (!routed.fetched.connected) {
            Unreachable(routed);
        } else if (whole) {
            ReadWhole(routed);
        } else {
            Judge(routed, verdict);
        }
    }

    vexa::engine::ReplyContext Context() const {
        vexa::engine::ReplyContext context;
        const SourceRoute::VisitRef visit = route_.Current();
        context.fromOrigin = fromOrigin_;
        context.redirected = visit && visit->url.ToString() != route_.Link().ToString();
        context.from = next_;
        context.to = listedSize_;
        context.knownTotal = listedSize_;
        return context;
    }

    // A redirect target that is down sends the engine back to the link; one that never
    // served is a dead end.
    void Unreachable(const RoutedResult& routed) {
        lastReason_ = StatusProblem(routed.fetched) + Target(routed);
        if (routed.visit && !route_.Unreachable(routed.visit)) return;
        out_.problem = lastReason_;
    }

    void ReadWhole(const RoutedResult& routed) {
        const HttpResponseHead& head = routed.fetched.head;
        out_.range = "no (200)";
        out_.size =
            std::to_string(head.hasContentLength ? head.contentLength : routed.fetched.bodyBytes);
        if (!routed.fetched.bodyComplete) {
            out_.problem = "the answer ended early: " + routed.fetched.error;
        } else if (routed.fetched.bodyBytes != listedSize_) {
            out_.problem = "size " + out_.size + ", listed " + std::to_string(listedSize_);
        } else {
            route_.Served(routed.visit);
            next_ = listedSize_;
        }
    }

    void Judge(const RoutedResult& routed, const ReplyVerdict& verdict) {
        const HttpResponseHead& head = routed.fetched.head;
        const auto& range = head.contentRange;
        if (range.totalKnown) out_.size = std::to_string(range.total);
        if (head.status == 200 && head.hasContentLength)
            out_.size = std::to_string(head.contentLength);
        switch (verdict.action) {
            case ReplyAction::ReadBody:
                return ReadRange(routed, range.last + 1);
            case ReplyAction::BackToOriginalLink:
                lastReason_ = StatusProblem(routed.fetched) + Target(routed);
                if (route_.Vanished(routed.visit)) out_.problem = lastReason_;
                return;
            default:
                out_.problem = Refusal(routed);
        }
    }

    void ReadRange(const RoutedResult& routed, uint64_t end) {
        if (!routed.fetched.bodyComplete) {
            out_.problem = "the answer ended early: " + routed.fetched.error;
            return;
        }
        route_.Served(routed.visit);
        if (out_.range.empty()) out_.range = "206";
        if (end < listedSize_) out_.range = "206 cap";
        next_ = end;
    }

    // Why the engine takes no bytes from this answer.
    std::string Refusal(const RoutedResult& routed) const {
        const HttpResponseHead& head = routed.fetched.head;
        const auto& range = head.contentRange;
        const std::string listed = ", listed " + std::to_string(listedSize_);
        if ((head.status == 200 || head.status == 206) && !IsIdentity(head))
            return "sent as " + head.contentEncoding + ", not the file's own bytes";
        if (head.status == 200) {
            if (!fromOrigin_) return "no Range support (200): the engine drops such a seed";
            if (!head.hasContentLength)
                return "no Range support and no length: the engine cannot know the file is whole";
            return "size " + std::to_string(head.contentLength) + listed;
        }
        if (head.status == 416)
            return "size " + (range.totalKnown ? std::to_string(range.total) : "unknown") + listed;
        if (head.status == 206 && range.valid && range.totalKnown && range.total != listedSize_)
            return "size " + std::to_string(range.total) + listed;
        if (head.status == 206) return "Content-Range does not match the request";
        return StatusProblem(routed.fetched) + Target(routed);
    }

    static std::string Target(const RoutedResult& routed) {
        return routed.visit ? " (redirect target " + routed.url + ")" : std::string();
    }

    SourceRoute route_;
    const bool fromOrigin_;
    const uint64_t listedSize_;
    const uint64_t first_;
    uint64_t next_;
    const int timeoutMs_;
    const BodySink& sink_;
    TailFetch out_;
    std::string lastReason_;  // why the last round brought no bytes
};

}  // namespace

TailFetch FetchTail(const std::string& url, bool fromOrigin, uint64_t listedSize, uint64_t first,
                    int timeoutMs, const BodySink& sink) {
    vexa::engine::HttpUrl link;
    if (!vexa::engine::ParseHttpUrl(vexa::engine::EncodeLinkForWire(url), link)) {
        TailFetch out;
        out.problem = "not a plain http:// address";
        return out;
    }
    return CTailReader(link, fromOrigin, listedSize, first, timeoutMs, sink).Run();
}

}  // namespace publish
