// One connection's work: take a range, fetch it with a checked HTTP exchange, write it to
// the partial file and tell the planner, and report failures to the source's health.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "engine/TransferTask.h"
#include "engine/core/ChunkedDecoder.h"
#include "engine/core/ReplyRule.h"

namespace vexa::engine {
namespace {

const size_t kChunkBytes = 512 * 1024;
// Bytes wait in memory at most this long before they go to the file, so a crash loses
// little even on a slow connection.
const uint64_t kMaxHoldMs = 250;
const int kMaxRedirects = 10;
const int kMaxRestarts = 3;

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

uint32_t RandomBits() {
    thread_local std::minstd_rand rng(GetCurrentThreadId() ^ static_cast<unsigned>(GetTickCount()));
    return static_cast<uint32_t>(rng());
}

long long RetryAfterOf(const HttpResponseHead& head) {
    if (!head.hasRetryAfter) return -1;
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    long long unixNow = static_cast<long long>(t.QuadPart / 10000000ULL) - 11644473600LL;
    return RetryAfterSeconds(head.retryAfter, unixNow);
}

}  // namespace

void TransferTask::Fail(Source& src, const Job& job, FailureKind kind, long long retryAfter) {
    std::lock_guard<std::mutex> lock(mu_);
    src.health.OnFailure(kind, NowMs(), retryAfter, RandomBits(), job.round);
    // A server that says it has enough connections gets fewer, and no more.
    if (kind == FailureKind::Throttled || kind == FailureKind::Refused)
        src.governor.Lower(NowMs(), src.reading.load());
}

// The network did not carry the exchange: never a reason to give the source up. A refusal
// while other connections to the server work says it wants fewer; with none working, the
// server is down or restarting, which is an outage like any other. A redirect target may
// be down for good, though (a CDN node that failed), and the link would name a live one:
// new requests go back to the link, as from a target that went away.
void TransferTask::FailTransport(Source& src, const Job& job, const HttpConnection& conn) {
    bool othersWork = src.busy.load() > 1;
    Fail(src, job, conn.Refused() && othersWork ? FailureKind::Refused : FailureKind::Transport);
    ReturnToOriginalLink(src, job, LeftBecause::Unreachable);
}

void TransferTask::GiveUp(Source& src) {
    std::lock_guard<std::mutex> lock(mu_);
    src.health.Drop();
}

void TransferTask::WorkerLoop(size_t sourceIndex, int slot) {
    Source& src = *sources_[sourceIndex];
    const int connId = static_cast<int>(sourceIndex) * 64 + slot;
    HttpConnection conn;
    uint64_t wireSeen = 0;
    // Busy from the first job until no job is left for it, so the short gaps between one
    // request and the next do not count as idle.
    bool busy = false;
    auto setBusy = [&](bool now) {
        if (now != busy) src.busy += now ? 1 : -1;
        busy = now;
    };
    while (!stop_.load() && !workersStop_.load()) {
        Job job;
        if (!NextJob(src, slot, connId, job)) {
            setBusy(false);
            conn.Close();
            WaitForWork();
            continue;
        }
        setBusy(true);
        Outcome outcome = Fetch(conn, src, connId, job);
        if (outcome != Outcome::Done) conn.Close();
        wire_ += conn.WireBytes() - wireSeen;
        wireSeen = conn.WireBytes();
        bool restart = false;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (planner_ && job.generation == generation_ && job.span >= 0)
                planner_->Release(job.span, connId);
            if (planner_) duplicates_ = planner_->DuplicateBytes();
            // A server without Range support cannot continue a broken stream.
            restart = outcome != Outcome::Stopped && singleStream_ &&
                      job.generation == generation_ && !(planner_ && planner_->Complete());
        }
        if (restart) ResetToProbe(job.generation);
        workCv_.notify_all();  // a released span or a new size is work for idle connections
    }
    setBusy(false);
}

// Woken by new work or the end; the end is also checked under the lock, so an end that
// came just before the wait is not missed.
void TransferTask::WaitForWork() {
    std::unique_lock<std::mutex> lock(mu_);
    workCv_.wait_for(lock, std::chrono::milliseconds(50),
                     [&] { return stop_.load() || workersStop_.load(); });
}

bool TransferTask::NextJob(Source& src, int slot, int connId, Job& job) {
    std::lock_guard<std::mutex> lock(mu_);
    uint64_t now = NowMs();
    if (src.health.Dropped() || slot >= src.Limit() || !src.health.ReadyAt(now)) return false;
    job.generation = generation_;
    job.url = src.route.CurrentUrl();
    job.visit = src.route.Current();
    job.round = src.health.Round();
    if (!planner_) {
        // The size is not known yet: one request learns it, from the first source still
        // standing (the origin unless it was dropped).
        if (slot != 0) return false;
        for (auto& s : sources_) {
            if (s->health.Dropped()) continue;
            if (s.get() != &src) return false;
            break;
        }
        // A bounded first request: the size comes with its head, and the server does not
        // push the whole file into the socket for a connection that will read a piece.
        job.span = -1;
        job.from = 0;
        job.to = settings_.planner.minPiece;
        return true;
    }
    // A server without Range support is read by the one stream that found the size.
    if (planner_->Complete() || singleStream_) return false;
    // Short requests: a changed file shows only in a reply's head.
    int connections = 0;
    for (auto& s : sources_) connections += s->health.Dropped() ? 0 : s->Limit();
    Assignment a;
    if (!planner_->Assign(
            connId, now, a,
            RequestCap(planner_->TotalSize(), planner_->TotalSize() - planner_->DoneBytes(),
                       connections, settings_.planner)))
        return false;
    job.span = a.span;
    job.from = a.from;
    job.to = a.to;
    // If-Range guards only until the origin's partial replies have shown that they carry
    // the validator: from then on each head is compared as it arrives, which notices a
    // change without the server first pushing the whole new file into the socket.
    if (src.isOrigin && !validatorInHeads_) job.ifRange = validator_;
    return true;
}

TransferTask::Outcome TransferTask::Fetch(HttpConnection& conn, Source& src, int connId, Job& job) {
    HttpResponseHead head;
    for (int hop = 0;; ++hop) {
        bool reused = conn.IsOpen();
        if (!conn.Open(job.url, static_cast<int>(settings_.connectTimeoutMs), stop_)) {
            if (stop_.load()) return Outcome::Stopped;
            FailTransport(src, job, conn);
            return Outcome::Failed;
        }
        std::string request = BuildGetRequest(job.url, true, job.from, job.to, job.ifRange);
        bool ok = conn.Send(request) &&
                  conn.ReadHead(head, static_cast<int>(settings_.stallTimeoutMs), stop_);
        if (!ok && reused && !stop_.load()) {
            // A kept-alive connection the server had already closed: one fresh try.
            conn.Close();
            ok = conn.Open(job.url, static_cast<int>(settings_.connectTimeoutMs), stop_) &&
                 conn.Send(request) &&
                 conn.ReadHead(head, static_cast<int>(settings_.stallTimeoutMs), stop_);
        }
        if (!ok) {
            if (stop_.load()) return Outcome::Stopped;
            // A head that arrived but makes no sense is the server's fault, not the network's.
            if (conn.HeadMalformed())
                Fail(src, job, FailureKind::Transient);
            else
                FailTransport(src, job, conn);
            return Outcome::Failed;
        }
        if (!IsRedirect(head.status) || head.location.empty()) break;
        HttpUrl next;
        conn.Close();
        if (hop >= kMaxRedirects || !ResolveLocation(job.url, head.location, next)) {
            GiveUp(src);
            return Outcome::Failed;
        }
        job.url = next;
        std::lock_guard<std::mutex> lock(mu_);
        job.visit = src.route.Redirected(next);
    }
    return HandleStatus(conn, src, connId, job, head);
}

TransferTask::Outcome TransferTask::HandleStatus(HttpConnection& conn, Source& src, int connId,
                                                 Job& job, const HttpResponseHead& head) {
    ReplyContext context;
    context.firstReply = job.span < 0;
    context.fromOrigin = src.isOrigin;
    context.redirected = job.visit && job.url.ToString() != src.route.Link().ToString();
    context.from = job.from;
    context.to = job.to;
    {
        std::lock_guard<std::mutex> lock(mu_);
        context.knownTotal = planner_ ? planner_->TotalSize() : 0;
        context.startedOver = job.generation != generation_;
    }
    if ((head.status == 206 || head.status == 200) && VersionChanged(src, head, job.generation))
        return Outcome::Failed;
    const ReplyVerdict verdict = ClassifyReply(head, context);
    if (verdict.action == ReplyAction::AcceptFirst || verdict.action == ReplyAction::ReadBody) {
        std::lock_guard<std::mutex> lock(mu_);
        src.route.Served(job.visit);
    }
    switch (verdict.action) {
        case ReplyAction::AcceptFirst:
            return AcceptFirstReply(conn, src, connId, job, head);
        case ReplyAction::ReadBody:
            return ReadBody(conn, src, job, verdict.bodyLength, head.KeepAlive());
        case ReplyAction::RestartChangedFile:
            RestartForChangedFile(src, job.generation);
            return Outcome::Failed;
        case ReplyAction::CheckUnsatisfiable:
            return HandleUnsatisfiableReply(src, connId, job, head);
        case ReplyAction::BackToOriginalLink:
            ReturnToOriginalLink(src, job, LeftBecause::Vanished);
            return Outcome::Failed;
        case ReplyAction::Discard:
            return Outcome::Failed;
        case ReplyAction::Fail:
            break;
    }
    Fail(src, job, verdict.failure,
         verdict.failure == FailureKind::Throttled ? RetryAfterOf(head) : -1);
    return Outcome::Failed;
}

TransferTask::Outcome TransferTask::HandleUnsatisfiableReply(Source& src, int connId, Job& job,
                                                             const HttpResponseHead& head) {
    Outcome outcome = Outcome::Failed;
    bool restart = false;
    if (HandleUnsatisfiable(src, connId, job, head.contentRange, outcome, restart)) {
        if (restart) RestartForChangedFile(src, job.generation);
        return outcome;
    }
    Fail(src, job, FailureOfStatus(head.status));
    return Outcome::Failed;
}

// A redirect target that went away or cannot be reached: go back to the link we were
// given. A target that had served the file says nothing against the link; one the link sent
// us to that never served counts once, however many connections meet it (SourceRoute).
void TransferTask::ReturnToOriginalLink(Source& src, const Job& job, LeftBecause why) {
    std::lock_guard<std::mutex> lock(mu_);
    bool deadEnd = why == LeftBecause::Vanished ? src.route.Vanished(job.visit)
                                                : src.route.Unreachable(job.visit);
    if (deadEnd) src.health.OnFailure(FailureKind::Transient, NowMs(), -1, RandomBits(), job.round);
}

// Every reply head names the version it carries. The origin's decides: another version
// there starts the download over at once, which also stops every connection still reading
// the old one. A seed that changes its version under way is of no further use.
bool TransferTask::VersionChanged(Source& src, const HttpResponseHead& head, uint64_t generation) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (generation != generation_) return false;
        if (!src.isOrigin) {
            if (src.validator.empty()) src.validator = head.StrongValidator();
            if (!head.Contradicts(src.validator)) return false;
            src.health.Drop();
            return true;
        }
        changed = planner_ && !validator_.empty() && head.Contradicts(validator_);
        if (!changed && head.status == 206 && !validator_.empty() &&
            (head.etag == validator_ || head.lastModified == validator_))
            validatorInHeads_ = true;
    }
    if (changed) RestartForChangedFile(src, generation);
    return changed;
}

// A 416: the file is already complete, empty, or no longer the size we know.
bool TransferTask::HandleUnsatisfiable(Source& src, int connId, Job& job, const ContentRange& cr,
                                       Outcome& outcome, bool& restart) {
    std::unique_lock<std::shared_mutex> gate(writeGate_);
    std::lock_guard<std::mutex> lock(mu_);
    if (job.generation != generation_) return false;
    if (planner_ && planner_->Complete()) {
        outcome = Outcome::Done;
        return true;
    }
    if (!planner_ && job.span < 0 && cr.totalKnown && cr.total == 0) {
        planner_ = std::make_unique<RangePlanner>(0, std::vector<uint8_t>(), settings_.planner);
        blockSize_ = settings_.planner.blockSize;
        validator_.clear();
        total_ = 0;
        done_ = 0;
        file_.Truncate();
        outcome = Outcome::Done;
        return true;
    }
    (void)connId;
    if (planner_ && cr.totalKnown && cr.total != planner_->TotalSize()) {
        if (src.isOrigin) {
            restart = true;  // the file on the server changed size
        } else {
            src.health.Drop();  // a seed holding another file under that name
        }
        return true;
    }
    return false;
}

TransferTask::Outcome TransferTask::AcceptFirstReply(HttpConnection& conn, Source& src, int connId,
                                                     Job& job, const HttpResponseHead& head) {
    uint64_t total = 0;
    uint64_t bodyLength = 0;
    bool single = false;
    if (head.status == 206) {
        // Some servers cap the length of one reply: a shorter answer is fine, the rest of
        // the file is asked for later.
        const ContentRange& cr = head.contentRange;
        if (!cr.valid || !cr.totalKnown || head.multipart || cr.first != 0 ||
            (head.hasContentLength && head.contentLength != cr.last + 1)) {
            Fail(src, job, FailureKind::Transient);
            return Outcome::Failed;
        }
        total = cr.total;
        bodyLength = cr.last + 1;
    } else {
        if (!head.hasContentLength) {
            if (head.chunked) return StreamChunked(conn, src, job, head.KeepAlive());
            GiveUp(src);  // no length, no way to know the file is whole
            return Outcome::Failed;
        }
        total = bodyLength = head.contentLength;
        single = true;
    }
    {
        std::unique_lock<std::shared_mutex> gate(writeGate_);
        std::lock_guard<std::mutex> lock(mu_);
        if (job.generation != generation_ || planner_) return Outcome::Failed;
        PlannerPolicy policy = settings_.planner;
        blockSize_ = policy.blockSize;
        planner_ = std::make_unique<RangePlanner>(total, std::vector<uint8_t>(), policy);
        singleStream_ = single;
        validator_ = src.isOrigin ? head.StrongValidator() : std::string();
        validatorInHeads_ = !single && !validator_.empty();
        total_ = total;
        done_ = 0;
        file_.Truncate();
        // The record first: a disk that fills up before the first regular record must not
        // leave data that no record vouches for (the next start would throw it away).
        if (!single && !SaveFirstRecord()) {
            fileError_ = true;
            return Outcome::Failed;
        }
        Assignment a;
        if (total == 0) return Outcome::Done;
        planner_->Assign(connId, NowMs(), a, bodyLength);
        workCv_.notify_all();  // the others may now split this connection's range
        controlDue_ = true;
        controlCv_.notify_one();
        job.span = a.span;
        job.from = a.from;
        job.to = a.to;
    }
    return ReadBody(conn, src, job, bodyLength, head.KeepAlive());
}

TransferTask::Outcome TransferTask::ReadBody(HttpConnection& conn, Source& src, Job& job,
                                             uint64_t bodyLength, bool keepAlive) {
    std::vector<char> buffer(kChunkBytes);
    struct Reading {
        std::atomic<int>& count;
        explicit Reading(std::atomic<int>& c) : count(c) { ++count; }
        ~Reading() { --count; }
    } reading(src.reading);
    const uint64_t bodyEnd = job.from + bodyLength;
    uint64_t offset = job.from;    // next byte to write
    uint64_t received = job.from;  // next byte to arrive
    uint64_t endNow = job.to;
    size_t fill = 0;
    uint64_t lastDataMs = NowMs();
    uint64_t heldSince = 0;
    auto flush = [&]() -> bool {
        if (fill == 0) return true;
        bool ok = WriteChunk(src, job, offset, buffer.data(), fill, endNow);
        offset += fill;
        fill = 0;
        return ok;
    };
    while (received < bodyEnd) {
        if (stop_.load() || workersStop_.load()) {
            flush();
            return Outcome::Stopped;
        }
        // Never read past where this connection must stop: a span cut back by a faster
        // connection, or finished by a racer, ends here and the rest stays unread.
        uint64_t limit = CurrentEnd(job);
        if (limit == 0 || received >= limit) {
            if (!flush()) return Outcome::Failed;
            if (received < bodyEnd || !keepAlive) conn.Close();
            return Outcome::Done;
        }
        size_t room = static_cast<size_t>(
            std::min<uint64_t>({buffer.size() - fill, bodyEnd - received, limit - received}));
        size_t got = 0;
        ReadStatus rs = conn.Read(buffer.data() + fill, room, got);
        if (rs == ReadStatus::Data) {
            if (fill == 0) heldSince = NowMs();
            fill += got;
            received += got;
            lastDataMs = NowMs();
            src.bytes += got;
            if (fill == buffer.size() || received >= bodyEnd || received >= limit ||
                NowMs() - heldSince >= kMaxHoldMs) {
                if (!flush()) return Outcome::Failed;
            }
        } else if (rs == ReadStatus::Idle) {
            if (!flush()) return Outcome::Failed;
            if (NowMs() - lastDataMs >= settings_.stallTimeoutMs) {
                FailTransport(src, job, conn);  // stalled
                return Outcome::Failed;
            }
        } else {
            flush();
            FailTransport(src, job, conn);  // cut short or reset
            return Outcome::Failed;
        }
        if (endNow == 0 || offset >= endNow) {
            // The span is finished, by us or by a faster connection, or was cut back.
            if (received < bodyEnd || !keepAlive) conn.Close();
            return Outcome::Done;
        }
    }
    if (!flush()) return Outcome::Failed;
    if (!keepAlive) conn.Close();
    return Outcome::Done;
}

// The origin's file is not the one the partial file holds. Start over, but not forever: a
// server that keeps changing its answer (mixed servers behind one name) is given up.
void TransferTask::RestartForChangedFile(Source& src, uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        switch (OnOriginChanged(generation, generation_, restarts_.load(), kMaxRestarts)) {
            case ChangeAction::AlreadyDone:
                return;
            case ChangeAction::GiveUp:
                src.health.Drop();
                return;
            case ChangeAction::StartOver:
                break;
        }
    }
    if (ResetToProbe(generation)) ++restarts_;
}

// A reply without length or Range support, in chunks: written from the start as it comes;
// the size is known, and the task complete, once the last chunk has arrived.
TransferTask::Outcome TransferTask::StreamChunked(HttpConnection& conn, Source& src, Job& job,
                                                  bool keepAlive) {
    {
        std::unique_lock<std::shared_mutex> gate(writeGate_);
        std::lock_guard<std::mutex> lock(mu_);
        if (job.generation != generation_ || planner_) return Outcome::Failed;
        singleStream_ = true;
        validator_.clear();
        total_ = 0;
        done_ = 0;
        file_.Truncate();
    }
    ChunkedDecoder decoder;
    std::vector<char> raw(kChunkBytes), body;
    uint64_t offset = 0;
    uint64_t lastDataMs = NowMs();
    size_t got = 0, used = 0;
    for (ChunkedDecoder::Status st = ChunkedDecoder::Status::NeedMore;
         st != ChunkedDecoder::Status::Done;) {
        if (stop_.load() || workersStop_.load()) return Outcome::Stopped;
        ReadStatus rs = conn.Read(raw.data(), raw.size(), got);
        if (rs == ReadStatus::Idle && NowMs() - lastDataMs < settings_.stallTimeoutMs) continue;
        if (rs != ReadStatus::Data) {
            FailTransport(src, job, conn);  // stalled, reset or closed before the end
            return Outcome::Failed;
        }
        lastDataMs = NowMs();
        src.bytes += got;
        body.clear();
        st = decoder.Feed(raw.data(), got, body, used);
        if (st == ChunkedDecoder::Status::Error) {
            Fail(src, job, FailureKind::Transient);
            return Outcome::Failed;
        }
        if (body.empty()) continue;
        std::shared_lock<std::shared_mutex> gate(writeGate_);
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (job.generation != generation_) return Outcome::Failed;
        }
        if (!file_.WriteAt(offset, body.data(), body.size())) {
            fileError_ = true;
            return Outcome::Failed;
        }
        offset += body.size();
        done_ = offset;
    }
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (job.generation != generation_) return Outcome::Failed;
        PlannerPolicy policy = settings_.planner;
        blockSize_ = policy.blockSize;
        uint64_t blocks = (offset + policy.blockSize - 1) / policy.blockSize;
        planner_ = std::make_unique<RangePlanner>(
            offset, std::vector<uint8_t>(static_cast<size_t>((blocks + 7) / 8), 0xFF), policy);
        total_ = offset;
        done_ = offset;
    }
    if (!keepAlive || used < got) conn.Close();
    return Outcome::Done;
}

uint64_t TransferTask::CurrentEnd(const Job& job) {
    std::lock_guard<std::mutex> lock(mu_);
    if (job.generation != generation_ || !planner_) return 0;
    return planner_->EndOf(job.span);
}

bool TransferTask::WriteChunk(Source& src, Job& job, uint64_t offset, const char* data, size_t size,
                              uint64_t& endNow) {
    {
        std::shared_lock<std::shared_mutex> gate(writeGate_);
        uint64_t limit = 0;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (job.generation != generation_ || !planner_) {
                endNow = 0;
                return true;
            }
            limit = planner_->EndOf(job.span);
        }
        if (limit == 0) {
            endNow = 0;
            return true;
        }
        size_t n =
            offset >= limit ? 0 : static_cast<size_t>(std::min<uint64_t>(size, limit - offset));
        if (n && !file_.WriteAt(offset, data, n)) {
            fileError_ = true;
            endNow = 0;
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(mu_);
    if (job.generation != generation_ || !planner_) {
        endNow = 0;
        return true;
    }
    planner_->Commit(job.span, offset, size, NowMs());
    src.health.OnProgress();
    endNow = planner_->EndOf(job.span);
    done_ = planner_->DoneBytes();
    if (planner_->Complete()) controlCv_.notify_one();
    return true;
}

}  // namespace vexa::engine
