#include "engine/EngineRegistry.h"

#include <windows.h>

#include <mutex>

namespace vexa::engine {
namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

EngineRegistry& EngineRegistry::Get() {
    // Never destroyed: its destructor would run while the module unloads, under the loader
    // lock, where joining a transfer thread deadlocks. Uninit stops every task before
    // the module is freed.
    static EngineRegistry* registry = new EngineRegistry;
    return *registry;
}

void EngineRegistry::SetSeeds(const std::string& seedText) {
    std::unique_lock<std::shared_mutex> lock(mu_);
    seeds_ = SplitSeedList(seedText);
}

void EngineRegistry::SetTuning(const std::string& tuning) {
    std::unique_lock<std::shared_mutex> lock(mu_);
    ApplyTuning(tuning, settings_);
    SwarmSettings swarm = swarm_.Settings();
    ApplySwarmTuning(tuning, swarm);
    swarm_.Configure(swarm);
}

int EngineRegistry::Create(const std::string& url, const std::wstring& targetPath) {
    TaskAddress address;
    if (!ParseTaskAddress(url, address) || targetPath.empty() || targetPath.size() > 32000)
        return -1;
    std::vector<std::shared_ptr<AssistedTask>> replaced;
    std::unique_lock<std::shared_mutex> lock(mu_);
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (SamePath(it->second->TargetPath(), targetPath)) {
            replaced.push_back(it->second);
            it = tasks_.erase(it);
        } else {
            ++it;
        }
    }
    int id = nextId_++;
    tasks_[id] = std::make_shared<AssistedTask>(address, targetPath, seeds_, settings_, swarm_);
    lock.unlock();
    for (auto& task : replaced) task->Retire();
    return id;
}

std::shared_ptr<AssistedTask> EngineRegistry::Find(int id) const {
    std::shared_lock<std::shared_mutex> lock(mu_);
    auto it = tasks_.find(id);
    return it == tasks_.end() ? nullptr : it->second;
}

bool EngineRegistry::Remove(int id) {
    std::shared_ptr<AssistedTask> task;
    {
        std::unique_lock<std::shared_mutex> lock(mu_);
        auto it = tasks_.find(id);
        if (it == tasks_.end()) return false;
        task = it->second;
        tasks_.erase(it);
    }
    task->Retire();
    return true;
}

void EngineRegistry::StopAll() {
    std::map<int, std::shared_ptr<AssistedTask>> all;
    {
        std::unique_lock<std::shared_mutex> lock(mu_);
        all.swap(tasks_);
    }
    for (auto& entry : all) entry.second->Stop();
    all.clear();
    swarm_.Shutdown();
}

}  // namespace vexa::engine
