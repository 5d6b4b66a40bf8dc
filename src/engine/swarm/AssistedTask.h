#pragma once
// A task of the engine: at its first start it asks for the file's torrent. Found and fit for
// the file, the task downloads through the swarm (peers and the HTTP sources as web seeds);
// otherwise it is exactly the HTTP transfer, one failed request later.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/TransferTask.h"
#include "engine/core/SwarmSettings.h"
#include "engine/swarm/SwarmSession.h"

namespace vexa::engine {

class AssistedTask {
public:
    AssistedTask(TaskAddress address, std::wstring targetPath, std::vector<std::string> seedBases,
                 EngineSettings settings, SwarmHost& swarm);
    ~AssistedTask();
    AssistedTask(const AssistedTask&) = delete;
    AssistedTask& operator=(const AssistedTask&) = delete;

    bool Start();
    void Stop();
    // The task leaves the engine: an unfinished swarm download leaves the swarm, a finished
    // one goes on serving its file until Uninit.
    void Retire();
    TaskStatus Status() const;
    const std::wstring& TargetPath() const { return targetPath_; }

private:
    enum class Mode { kUndecided, kHttp, kSwarm };

    void Decide();
    bool JoinSwarm(const std::string& torrentBytes);
    std::vector<FeedSourceAddress> Servers() const;

    TaskAddress address_;
    std::wstring targetPath_;
    std::vector<std::string> seedBases_;
    EngineSettings settings_;
    SwarmHost& swarm_;
    std::unique_ptr<TransferTask> http_;

    mutable std::mutex mu_;  // guards mode_, torrent_ and the start of either transfer
    Mode mode_ = Mode::kUndecided;
    std::shared_ptr<SwarmTorrent> torrent_;
    bool noRoom_ = false;  // the disk had no room for the swarm's file at the last start
    uint64_t noRoomTotal_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> deciding_{false};
    std::thread decider_;
};

}  // namespace vexa::engine
