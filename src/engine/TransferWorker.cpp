// One connection's work: take a range, fetch it with a checked HTTP exchange and hand the
// reply to the body readers (TransferBody.cpp). What a reply means for the job, the source
// and the task is decided by the portable rules (ReplyRule, SizeRule, VersionRule); here the
// facts are gathered under the task's lock and the verdicts carried out.
#include <windows.h>

#include <chrono>

#include "engine/RetryTiming.h"
#include "engine/TransferTask.h"
#include "engine/core/RedirectRule.h"
#include "engine/core/ReplyRule.h"
#include "engine/core/SizeRule.h"
#include "engine/core/VersionRule.h"

namespace vexa::engine {
namespace {

const int kMaxRestarts = 3;

// Counts the connection as busy from its first job until no job is left for it (the short
// gaps between one request and the next are no idleness), and no longer once it ends.
class BusyMark {
public:
    explicit BusyMark(std::atomic<int>& count) : count_(count) {}
    ~BusyMark() { Set(false); }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;
    void Set(bool busy) {
        if (busy != busy_) count_ += busy ? 1 : -1;
        busy_ = busy;
    }

private:
    std::atomic<int>& count_;
    bool busy_ = false;
};

}  // namespace

void TransferTask::Fail(Source& src, const Job& job, FailureKind kind, long long retryAfter) {
    std::lock_guard<std::mutex> lock(mu_);
    src.health.OnFailure(kind, NowMs(), retryAfter, RandomBits(), job.round);
    // A server that says it has enough connections gets fewer, and no more.
    if (kind == FailureKind::Throttled || kind == FailureKind::Refused)
        src.governor.Lower(NowMs(), src.reading.load());
}

void TransferTask::FailExchange(Source& src, const Job& job, bool headMalformed, bool refused) {
    const BrokenExchange verdict = JudgeBrokenExchange(headMalformed, refused, src.busy.load() > 1);
    Fail(src, job, verdict.failure);
    if (verdict.leaveTarget) ReturnToOriginalLink(src, job, LeftBecause::Unreachable);
}

void TransferTask::FailTransport(Source& src, const Job& job, const HttpConnection& conn) {
    FailExchange(src, job, false, conn.Refused());
}

void TransferTask::GiveUp(Source& src) {
    std::lock_guard<std::mutex> lock(mu_);
    src.health.Drop();
}

// The task cannot go on (a file larger than allowed, a fault in one of its threads): the
// controller ends it with state 2 at its next look, which is now.
void TransferTask::Abandon() {
    abandoned_ = true;
    {
        std::lock_guard<std::mutex> lock(mu_);
        controlDue_ = true;
    }
    controlCv_.notify_one();
    workCv_.notify_all();
}

// A thread entry: nothing a connection meets (an allocation that fails, anything thrown)
// may end the process; it ends the task.
void TransferTask::WorkerLoop(size_t sourceIndex, int slot) {
    try {
        ServeConnection(*sources_[sourceIndex], static_cast<int>(sourceIndex) * 64 + slot, slot);
    } catch (...) {
        Abandon();
    }
}

void TransferTask::ServeConnection(Source& src, int connId, int slot) {
    HttpConnection conn;
    BusyMark busy(src.busy);
    uint64_t wireSeen = 0;
    while (!stop_.load() && !workersStop_.load() && !abandoned_.load()) {
        Job job;
        if (!NextJob(src, slot, connId, job)) {
            busy.Set(false);
            conn.Close();
            WaitForWork();
            continue;
        }
        busy.Set(true);
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
}

// Woken by new work or the end; the end is also checked under the lock, so an end that
// came just before the wait is not missed.
void TransferTask::WaitForWork() {
    std::unique_lock<std::mutex> lock(mu_);
    workCv_.wait_for(lock, std::chrono::milliseconds(50), [&] {
        return stop_.load() || workersStop_.load() || abandoned_.load();
    });
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
            FailExchange(src, job, conn.HeadMalformed(), conn.Refused());
            return Outcome::Failed;
        }
        HttpUrl next;
        const RedirectStep step = NextRedirect(head, job.url, hop, kMaxRedirects, next);
        if (step == RedirectStep::None) break;
        conn.Close();
        if (step == RedirectStep::GiveUp) {
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
    {
        std::lock_guard<std::mutex> lock(mu_);
        context = ContextOf(src, job);
    }
    if (VersionChanged(src, head, job.generation)) return Outcome::Failed;
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
            return HandleUnsatisfiable(src, job, head);
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

// What a reply to `job` is judged against: the download as it is now. Under the lock.
ReplyContext TransferTask::ContextOf(const Source& src, const Job& job) const {
    ReplyContext context;
    context.firstReply = job.span < 0;
    context.fromOrigin = src.isOrigin;
    context.redirected = job.visit && job.url.ToString() != src.route.Link().ToString();
    context.from = job.from;
    context.to = job.to;
    context.planned = planner_ != nullptr;
    context.knownTotal = planner_ ? planner_->TotalSize() : 0;
    context.startedOver = job.generation != generation_;
    return context;
}

// A 416: the file is already complete, empty, or no longer the size we know. Judged under
// the write gate, since an empty file is planned here.
TransferTask::Outcome TransferTask::HandleUnsatisfiable(Source& src, Job& job,
                                                        const HttpResponseHead& head) {
    UnsatisfiableAction action = UnsatisfiableAction::Fail;
    {
        std::unique_lock<std::shared_mutex> gate(writeGate_);
        std::lock_guard<std::mutex> lock(mu_);
        action = JudgeUnsatisfiable(head.contentRange, ContextOf(src, job),
                                    planner_ && planner_->Complete());
        if (action == UnsatisfiableAction::EmptyFile) PlanEmptyFile();
        // A seed holding another file under that name.
        if (action == UnsatisfiableAction::OtherFile && !src.isOrigin) src.health.Drop();
    }
    switch (action) {
        case UnsatisfiableAction::Complete:
        case UnsatisfiableAction::EmptyFile:
            return Outcome::Done;
        case UnsatisfiableAction::OtherFile:
            if (src.isOrigin) RestartForChangedFile(src, job.generation);
            return Outcome::Failed;
        case UnsatisfiableAction::Fail:
            break;
    }
    Fail(src, job, FailureOfStatus(head.status));
    return Outcome::Failed;
}

// Under the write gate and the lock.
void TransferTask::PlanEmptyFile() {
    planner_ = std::make_unique<RangePlanner>(0, std::vector<uint8_t>(), settings_.planner);
    blockSize_ = settings_.planner.blockSize;
    validator_.clear();
    total_ = 0;
    done_ = 0;
    file_.Truncate();
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

bool TransferTask::VersionChanged(Source& src, const HttpResponseHead& head, uint64_t generation) {
    VersionAction action = VersionAction::Same;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (generation != generation_) return false;
        const VersionVerdict verdict = JudgeVersion(
            head, src.isOrigin, src.isOrigin ? validator_ : src.validator, planner_ != nullptr);
        if (!verdict.seedValidator.empty()) src.validator = verdict.seedValidator;
        if (verdict.validatorInHead) validatorInHeads_ = true;
        if (verdict.action == VersionAction::DropSeed) src.health.Drop();
        action = verdict.action;
    }
    if (action == VersionAction::RestartOrigin) RestartForChangedFile(src, generation);
    return action != VersionAction::Same;
}

TransferTask::Outcome TransferTask::AcceptFirstReply(HttpConnection& conn, Source& src, int connId,
                                                     Job& job, const HttpResponseHead& head) {
    const FirstReplyPlan plan = PlanFirstReply(head, settings_.maxFileSize);
    switch (plan.kind) {
        case FirstReplyKind::Unusable:
            Fail(src, job, FailureKind::Transient);
            return Outcome::Failed;
        case FirstReplyKind::NoLength:
            GiveUp(src);  // no length, no way to know the file is whole
            return Outcome::Failed;
        case FirstReplyKind::TooLarge:
            Abandon();
            return Outcome::Failed;
        case FirstReplyKind::Chunked:
            return StreamChunked(conn, src, job, head.KeepAlive());
        case FirstReplyKind::Ranged:
        case FirstReplyKind::Whole:
            break;
    }
    const bool single = plan.kind == FirstReplyKind::Whole;
    {
        std::unique_lock<std::shared_mutex> gate(writeGate_);
        std::lock_guard<std::mutex> lock(mu_);
        if (job.generation != generation_ || planner_) return Outcome::Failed;
        PlannerPolicy policy = settings_.planner;
        blockSize_ = policy.blockSize;
        planner_ = std::make_unique<RangePlanner>(plan.total, std::vector<uint8_t>(), policy);
        singleStream_ = single;
        validator_ = src.isOrigin ? head.StrongValidator() : std::string();
        validatorInHeads_ = !single && !validator_.empty();
        total_ = plan.total;
        done_ = 0;
        file_.Truncate();
        // The record first: a disk that fills up before the first regular record must not
        // leave data that no record vouches for (the next start would throw it away).
        if (!single && !SaveFirstRecord()) {
            fileError_ = true;
            return Outcome::Failed;
        }
        Assignment a;
        if (plan.total == 0) return Outcome::Done;
        planner_->Assign(connId, NowMs(), a, plan.bodyLength);
        workCv_.notify_all();  // the others may now split this connection's range
        controlDue_ = true;
        controlCv_.notify_one();
        job.span = a.span;
        job.from = a.from;
        job.to = a.to;
    }
    return ReadBody(conn, src, job, plan.bodyLength, head.KeepAlive());
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

}  // namespace vexa::engine
