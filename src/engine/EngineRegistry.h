#pragma once
// The engine's tasks by id, and the options set through SetP2spOption. The map is guarded
// by a reader/writer lock that is never held while a task is stopped, so a status query
// waits only for a map look-up.

#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "engine/core/SwarmSettings.h"
#include "engine/swarm/AssistedTask.h"
#include "engine/swarm/SwarmSession.h"

namespace vexa::engine {

class EngineRegistry {
public:
    static EngineRegistry& Get();

    void SetSeeds(const std::string& seedText);
    void SetTuning(const std::string& tuning);
    // -1 when the address or path is unusable. A task for the same target replaces the
    // old one (stopped first), so two tasks never write one partial file.
    int Create(const std::string& url, const std::wstring& targetPath);
    std::shared_ptr<AssistedTask> Find(int id) const;
    bool Remove(int id);
    // Stops every task and ends the swarm (finished files stop being served).
    void StopAll();

private:
    mutable std::shared_mutex mu_;
    std::map<int, std::shared_ptr<AssistedTask>> tasks_;
    int nextId_ = 0;
    std::vector<std::string> seeds_;
    EngineSettings settings_;
    SwarmHost swarm_;
};

}  // namespace vexa::engine
