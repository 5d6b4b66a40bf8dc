#pragma once
// One download: a controller thread that starts connection workers, persists progress and
// finishes or fails the task, and the workers that fetch ranges from the origin and seeds.
// QueryTask reads only atomics here, so it never waits for the transfer.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/HttpConnection.h"
#include "engine/PartialFile.h"
#include "engine/core/ConnectionGovernor.h"
#include "engine/core/EngineSettings.h"
#include "engine/core/RangePlanner.h"
#include "engine/core/ReplyRule.h"
#include "engine/core/RetryPolicy.h"
#include "engine/core/SourceRoute.h"
#include "engine/core/TaskUrl.h"

namespace vexa::engine {

// Task states as the status record reports them.
enum TaskState : uint8_t {
    kStateRunning = 0,  // also paused and not yet started
    kStateFinished = 1,
    kStateNoSource = 2,   // no source could deliver the file
    kStateFileError = 3,  // the partial file could not be written, flushed or renamed
};

struct TaskStatus {
    uint64_t total = 0;
    uint64_t done = 0;
    uint32_t originSpeed = 0;
    uint32_t seedSpeed = 0;
    uint8_t state = kStateRunning;
    uint64_t duplicateBytes = 0;
    uint64_t wireBytes = 0;
    uint64_t resumedBytes = 0;
    // Swarm downloads only.
    bool swarm = false;
    uint64_t peerBytes = 0;    // payload that came from peers
    uint32_t peerSpeed = 0;    // part of seedSpeed
    uint64_t failedBytes = 0;  // pieces that failed their hash check
    uint32_t uploadSpeed = 0;  // serving others
    uint64_t uploadBytes = 0;
    uint32_t peersBanned = 0;
};

class TransferTask {
public:
    TransferTask(TaskAddress address, std::wstring targetPath, std::vector<std::string> seedBases,
                 EngineSettings settings);
    ~TransferTask();
    TransferTask(const TransferTask&) = delete;
    TransferTask& operator=(const TransferTask&) = delete;

    // Starts (or resumes) the transfer on the engine's threads. True when running.
    bool Start();
    // Stops every thread and persists progress. Returns once they have ended.
    void Stop();
    TaskStatus Status() const;
    const std::wstring& TargetPath() const { return targetPath_; }

private:
    struct Source {
        bool isOrigin = false;
        SourceRoute route;  // the link, or the redirect target in use
        SourceHealth health;
        ConnectionGovernor governor;
        std::string validator;  // a seed's own version of the file (the origin's is validator_)
        std::atomic<uint64_t> bytes{0};
        std::atomic<int> busy{0};     // connections that have work from it now
        std::atomic<int> reading{0};  // connections receiving a reply's body from it now
        Source(const HttpUrl& link, const RetrySettings& r, const GovernorSettings& g)
            : route(link), health(g.maxPerServer, r), governor(g) {}
        int Limit() const { return std::min(health.ConnectionLimit(), governor.Limit()); }
    };

    // What a worker was given to fetch.
    struct Job {
        int span = -1;  // -1: the first request, which learns the size
        uint64_t from = 0, to = 0;
        uint64_t generation = 0;
        std::string ifRange;
        HttpUrl url;
        SourceRoute::VisitRef visit;  // null while the request goes to the link itself
        uint64_t round = 0;           // the source's failure round when the job was taken
    };

    enum class Outcome { Done, Failed, Stopped };
    // Why requests leave a redirect target for the link.
    enum class LeftBecause { Vanished, Unreachable };

    // TransferTask.cpp: lifecycle, controller, persistence.
    void ControllerMain();
    void ControllerLoop();
    void EndAfterFault();
    void StopWorkers();
    std::vector<int> SlotsPerSource() const;
    void StartWorkers(const std::vector<int>& slots);
    void WaitForControl();
    void GovernConnections(uint64_t now);
    bool SaveFirstRecord();
    void UpdateSpeeds(uint64_t& lastOrigin, uint64_t& lastSeeds);
    void Persist();
    void Finish();
    bool AllSourcesDropped();
    // Starts over unless another connection already did since `generation`.
    bool ResetToProbe(uint64_t generation);
    void RestartForChangedFile(Source& src, uint64_t generation);
    bool LoadUsableRecord(ProgressRecord& record) const;
    void ShowRecordedProgress();
    void RestoreFromRecord();

    // TransferWorker.cpp: one connection's loop, the HTTP exchange and what its reply means.
    void WorkerLoop(size_t sourceIndex, int slot);
    void ServeConnection(Source& src, int connId, int slot);
    bool NextJob(Source& src, int slot, int conn, Job& job);
    void WaitForWork();
    Outcome Fetch(HttpConnection& conn, Source& src, int connId, Job& job);
    Outcome HandleStatus(HttpConnection& conn, Source& src, int connId, Job& job,
                         const HttpResponseHead& head);
    ReplyContext ContextOf(const Source& src, const Job& job) const;
    Outcome HandleUnsatisfiable(Source& src, Job& job, const HttpResponseHead& head);
    void PlanEmptyFile();
    void ReturnToOriginalLink(Source& src, const Job& job, LeftBecause why);
    Outcome AcceptFirstReply(HttpConnection& conn, Source& src, int connId, Job& job,
                             const HttpResponseHead& head);
    bool VersionChanged(Source& src, const HttpResponseHead& head, uint64_t generation);
    void Fail(Source& src, const Job& job, FailureKind kind, long long retryAfter = -1);
    void FailExchange(Source& src, const Job& job, bool headMalformed, bool refused);
    void FailTransport(Source& src, const Job& job, const HttpConnection& conn);
    void GiveUp(Source& src);
    void Abandon();

    // TransferBody.cpp: reading a reply's body into the partial file.
    Outcome ReadBody(HttpConnection& conn, Source& src, Job& job, uint64_t bodyLength,
                     bool keepAlive);
    Outcome StreamChunked(HttpConnection& conn, Source& src, Job& job, bool keepAlive);
    uint64_t CurrentEnd(const Job& job);
    bool WriteChunk(Source& src, Job& job, uint64_t offset, const char* data, size_t size,
                    uint64_t& endNow);
    uint64_t NowMs() const;

    TaskAddress address_;
    std::wstring targetPath_;
    EngineSettings settings_;
    PartialFile file_;

    mutable std::mutex mu_;              // guards everything below down to generation_
    std::condition_variable workCv_;     // idle connections wait here for work
    std::condition_variable controlCv_;  // the controller waits here for its next look
    std::shared_mutex writeGate_;        // shared: writing data; exclusive: starting over
    std::vector<std::unique_ptr<Source>> sources_;
    std::unique_ptr<RangePlanner> planner_;  // null while the size is unknown
    bool singleStream_ = false;              // the server ignores Range: one stream from the start
    std::string validator_;
    bool validatorInHeads_ = false;  // the origin's 206 heads carry validator_
    bool controlDue_ = false;        // the controller should look now
    uint64_t generation_ = 0;
    uint32_t blockSize_ = 0;

    std::atomic<int> restarts_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> workersStop_{false};
    std::atomic<bool> fileError_{false};
    // The task cannot go on: a file larger than allowed, or a fault in one of its threads.
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> total_{0}, done_{0}, duplicates_{0}, wire_{0}, resumed_{0};
    std::atomic<uint32_t> originSpeed_{0}, seedSpeed_{0};
    std::atomic<uint8_t> state_{kStateRunning};
    uint64_t startTick_ = 0;
    std::thread controller_;
    std::vector<std::thread> workers_;
};

}  // namespace vexa::engine
