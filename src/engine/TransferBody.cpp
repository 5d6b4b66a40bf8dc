// Reading a reply's body: a range into the partial file, bounded by where the planner says
// this connection must stop now, or a whole stream in chunked coding.
#include <windows.h>

#include <algorithm>

#include "engine/TransferTask.h"
#include "engine/core/ChunkedDecoder.h"
#include "engine/core/SizeRule.h"

namespace vexa::engine {
namespace {

const size_t kChunkBytes = 512 * 1024;
// Bytes wait in memory at most this long before they go to the file, so a crash loses
// little even on a slow connection.
const uint64_t kMaxHoldMs = 250;

}  // namespace

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
        // No length bounds a stream: one that goes on past any file allowed ends the task
        // before it fills the disk.
        if (!FitsFileCap(offset, body.size(), settings_.maxFileSize)) {
            Abandon();
            return Outcome::Failed;
        }
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
