#include "engine/TransferTask.h"

#include <windows.h>

#include <chrono>

namespace vexa::engine {
namespace {

const uint64_t kMinPersistGapMs = 250;
const uint64_t kPersistEveryBytes = 8ull << 20;

}  // namespace

TransferTask::TransferTask(TaskAddress address, std::wstring targetPath,
                           std::vector<std::string> seedBases, EngineSettings settings)
    : address_(std::move(address)),
      targetPath_(std::move(targetPath)),
      settings_(settings),
      file_(targetPath_) {
    HttpUrl link;
    ParseHttpUrl(address_.link, link);
    auto origin = std::make_unique<Source>(link, settings_.retry, settings_.governor);
    origin->isOrigin = true;
    sources_.push_back(std::move(origin));
    std::string name = FileNameOfLink(address_.link);
    for (const std::string& base : seedBases) {
        HttpUrl seedLink;
        if (name.empty() || !ParseHttpUrl(SeedFileUrl(base, name), seedLink)) continue;
        sources_.push_back(std::make_unique<Source>(seedLink, settings_.retry, settings_.governor));
    }
    ShowRecordedProgress();
}

TransferTask::~TransferTask() { Stop(); }

uint64_t TransferTask::NowMs() const { return GetTickCount64(); }

bool TransferTask::Start() {
    if (running_.load()) return true;
    if (state_.load() == kStateFinished) return true;
    if (controller_.joinable()) controller_.join();
    stop_ = false;
    workersStop_ = false;
    restarts_ = 0;
    fileError_ = false;
    abandoned_ = false;
    state_ = kStateRunning;
    std::vector<int> slots = SlotsPerSource();
    for (size_t i = 0; i < sources_.size(); ++i) {
        sources_[i]->health = SourceHealth(settings_.governor.maxPerServer, settings_.retry);
        sources_[i]->governor = ConnectionGovernor(settings_.governor, slots[i]);
        sources_[i]->validator.clear();
    }
    running_ = true;
    controller_ = std::thread([this] { ControllerMain(); });
    return true;
}

void TransferTask::Stop() {
    stop_ = true;
    if (controller_.joinable()) controller_.join();
    running_ = false;
}

TaskStatus TransferTask::Status() const {
    TaskStatus s;
    s.total = total_.load();
    s.done = done_.load();
    s.originSpeed = originSpeed_.load();
    s.seedSpeed = seedSpeed_.load();
    s.state = state_.load();
    s.duplicateBytes = duplicates_.load();
    s.wireBytes = wire_.load();
    s.resumedBytes = resumed_.load();
    return s;
}

bool TransferTask::LoadUsableRecord(ProgressRecord& record) const {
    return file_.LoadRecord(record) && record.link == address_.link && record.totalSize > 0 &&
           record.totalSize <= settings_.maxFileSize && record.blockSize >= 4096 &&
           record.blockSize <= (64u << 20);
}

// A task created over an earlier run's partial file reports what that run's record vouches
// for before it is started, so a window restored in the paused state shows the real progress
// instead of zero until the user resumes. Nothing on disk changes here.
void TransferTask::ShowRecordedProgress() {
    ProgressRecord record;
    if (!LoadUsableRecord(record)) return;
    PlannerPolicy policy = settings_.planner;
    policy.blockSize = record.blockSize;
    RangePlanner recorded(record.totalSize, record.doneBits, policy);
    total_ = record.totalSize;
    done_ = recorded.DoneBytes();
}

void TransferTask::RestoreFromRecord() {
    ProgressRecord record;
    std::lock_guard<std::mutex> lock(mu_);
    planner_.reset();
    singleStream_ = false;
    validator_.clear();
    validatorInHeads_ = false;
    blockSize_ = settings_.planner.blockSize;
    if (LoadUsableRecord(record)) {
        PlannerPolicy policy = settings_.planner;
        policy.blockSize = blockSize_ = record.blockSize;
        planner_ = std::make_unique<RangePlanner>(record.totalSize, record.doneBits, policy);
        validator_ = record.validator;
        total_ = record.totalSize;
        done_ = planner_->DoneBytes();
        resumed_ = done_.load();
        return;
    }
    // No usable record: whatever the partial file holds is of unknown worth.
    file_.DeleteRecord();
    file_.Truncate();
    total_ = 0;
    done_ = 0;
    resumed_ = 0;
}

// The controller's thread entry: nothing thrown in it (a thread that cannot start, an
// allocation that fails) may end the process; it ends the task with state 2, after every
// connection has ended.
void TransferTask::ControllerMain() {
    try {
        ControllerLoop();
    } catch (...) {
        EndAfterFault();
    }
}

void TransferTask::EndAfterFault() {
    abandoned_ = true;
    StopWorkers();
    originSpeed_ = 0;
    seedSpeed_ = 0;
    file_.Close();
    state_ = kStateNoSource;
    running_ = false;
}

void TransferTask::StopWorkers() {
    workersStop_ = true;
    {
        std::lock_guard<std::mutex> lock(mu_);
        workCv_.notify_all();  // idle connections end now rather than at their next look
    }
    for (auto& t : workers_)
        if (t.joinable()) t.join();
    workers_.clear();
}

void TransferTask::ControllerLoop() {
    if (!file_.Open()) {
        state_ = kStateFileError;
        running_ = false;
        return;
    }
    RestoreFromRecord();
    StartWorkers(SlotsPerSource());
    uint64_t lastPersist = NowMs(), lastSpeed = NowMs();
    uint64_t lastOrigin = 0, lastSeeds = 0;
    uint64_t persistedDone = done_.load();
    bool complete = false;
    while (!stop_.load()) {
        WaitForControl();
        uint64_t now = NowMs();
        GovernConnections(now);
        if (now - lastSpeed >= 1000) {
            UpdateSpeeds(lastOrigin, lastSeeds);
            lastSpeed = now;
        }
        {
            std::lock_guard<std::mutex> lock(mu_);
            complete = planner_ && planner_->Complete();
        }
        if (complete || fileError_.load() || abandoned_.load() || AllSourcesDropped()) break;
        // Persist on the interval, and sooner while data pours in, so a crash loses
        // little even on a fast line.
        uint64_t since = now - lastPersist;
        if (since >= settings_.persistIntervalMs ||
            (since >= kMinPersistGapMs && done_.load() >= persistedDone + kPersistEveryBytes)) {
            persistedDone = done_.load();
            Persist();
            lastPersist = now;
        }
    }
    StopWorkers();
    originSpeed_ = 0;
    seedSpeed_ = 0;
    if (complete) {
        Finish();
    } else {
        Persist();
        if (!stop_.load()) state_ = fileError_.load() ? kStateFileError : kStateNoSource;
        file_.Close();
    }
    running_ = false;
}

// Threads for the most connections each source may get; those above a source's current
// limit wait. Slots are handed out round-robin so that the total bound leaves every source
// some.
std::vector<int> TransferTask::SlotsPerSource() const {
    std::vector<int> slots(sources_.size(), 0);
    int total = 0;
    for (bool added = true; added && total < settings_.totalConnections;) {
        added = false;
        for (size_t i = 0; i < sources_.size() && total < settings_.totalConnections; ++i) {
            if (slots[i] >= settings_.governor.maxPerServer) continue;
            ++slots[i];
            ++total;
            added = true;
        }
    }
    return slots;
}

void TransferTask::StartWorkers(const std::vector<int>& slots) {
    for (size_t i = 0; i < slots.size(); ++i)
        for (int slot = 0; slot < slots[i]; ++slot)
            workers_.emplace_back([this, i, slot] { WorkerLoop(i, slot); });
}

// The controller looks every 50 ms, twice as often while a source's connection count is
// still being decided (each look shortens the ramp), and at once when the size becomes
// known (the count's first look) or the file is complete.
void TransferTask::WaitForControl() {
    std::unique_lock<std::mutex> lock(mu_);
    bool growing = false;
    for (auto& s : sources_) growing |= !s->health.Dropped() && s->governor.Growing();
    auto due = [&] { return controlDue_ || (planner_ && planner_->Complete()); };
    controlCv_.wait_for(lock, std::chrono::milliseconds(growing && planner_ ? 25 : 50), due);
    controlDue_ = false;
}

void TransferTask::GovernConnections(uint64_t now) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!planner_ || singleStream_) return;
        for (auto& s : sources_) {
            bool saturated = !s->health.Dropped() && s->busy.load() >= s->Limit();
            changed |= s->governor.Observe(now, s->bytes.load(), saturated);
        }
    }
    if (changed) workCv_.notify_all();
}

void TransferTask::UpdateSpeeds(uint64_t& lastOrigin, uint64_t& lastSeeds) {
    uint64_t origin = 0, seeds = 0;
    for (auto& s : sources_) (s->isOrigin ? origin : seeds) += s->bytes.load();
    originSpeed_ = static_cast<uint32_t>(std::min<uint64_t>(origin - lastOrigin, UINT32_MAX));
    seedSpeed_ = static_cast<uint32_t>(std::min<uint64_t>(seeds - lastSeeds, UINT32_MAX));
    lastOrigin = origin;
    lastSeeds = seeds;
}

bool TransferTask::AllSourcesDropped() {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& s : sources_)
        if (!s->health.Dropped()) return false;
    return true;
}

void TransferTask::Persist() {
    // Take the map first, then flush: every block in the map was written before the
    // flush began, so the record never claims data that is not on disk.
    ProgressRecord record;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!planner_ || singleStream_) return;
        record.blockSize = blockSize_;
        record.totalSize = planner_->TotalSize();
        record.validator = validator_;
        record.link = address_.link;
        record.doneBits = planner_->DoneBits();
        generation = generation_;
    }
    std::shared_lock<std::shared_mutex> gate(writeGate_);
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (generation != generation_) return;
    }
    if (!file_.Flush()) {
        fileError_ = true;
        return;
    }
    file_.SaveRecord(record);
}

// The record of a fresh start, written before any data: it vouches for no block yet, but
// it names the file, so what arrives before the first regular record is not lost.
bool TransferTask::SaveFirstRecord() {
    ProgressRecord record;
    record.blockSize = blockSize_;
    record.totalSize = planner_->TotalSize();
    record.validator = validator_;
    record.link = address_.link;
    record.doneBits = planner_->DoneBits();
    return file_.SaveRecord(record);
}

void TransferTask::Finish() {
    if (!file_.PromoteToTarget()) {
        // Keep a record saying everything is there, so the next attempt only renames.
        if (file_.Open()) Persist();
        file_.Close();
        state_ = kStateFileError;
        return;
    }
    file_.DeleteRecord();
    done_ = total_.load();
    state_ = kStateFinished;
}

bool TransferTask::ResetToProbe(uint64_t generation) {
    std::unique_lock<std::shared_mutex> gate(writeGate_);
    std::lock_guard<std::mutex> lock(mu_);
    if (generation != generation_) return false;  // another connection already did
    ++generation_;
    planner_.reset();
    singleStream_ = false;
    validator_.clear();
    validatorInHeads_ = false;
    for (auto& s : sources_) s->validator.clear();  // seeds may carry the new version too
    file_.DeleteRecord();
    file_.Truncate();
    total_ = 0;
    done_ = 0;
    return true;
}

}  // namespace vexa::engine
