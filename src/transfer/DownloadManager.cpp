#include "transfer/DownloadManager.h"

#include "transfer/ModuleExtractor.h"

namespace {

template <typename Fn>
bool LookUp(HMODULE module, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return out != nullptr;
}

}  // namespace

CDownloadManager::~CDownloadManager() { Release(); }

void CDownloadManager::ClearEntryPoints() {
    pfnInit = nullptr;
    pfnLogin = nullptr;
    pfnUninit = nullptr;
    pfnCreateP2SPTask = nullptr;
    pfnQueryTask = nullptr;
    pfnStopSeed = nullptr;
    pfnGetFinishMessage = nullptr;
    pfnRemoveTask = nullptr;
    pfnSetConfigInfo = nullptr;
    pfnUpdateRegInfo = nullptr;
    pfnSetP2spOption = nullptr;
    pfnStartTask = nullptr;
    pfnStopTask = nullptr;
    bound_ = false;
}

bool CDownloadManager::LookUpEntryPoints() {
    // Every lookup runs even after a miss, in the module's documented order.
    bool all = true;
    all &= LookUp(module_.Get(), "Init", pfnInit);
    all &= LookUp(module_.Get(), "Login", pfnLogin);
    all &= LookUp(module_.Get(), "Uninit", pfnUninit);
    all &= LookUp(module_.Get(), "CreateP2SPTask", pfnCreateP2SPTask);
    all &= LookUp(module_.Get(), "QueryTask", pfnQueryTask);
    all &= LookUp(module_.Get(), "StartTask", pfnStartTask);
    all &= LookUp(module_.Get(), "StopTask", pfnStopTask);
    all &= LookUp(module_.Get(), "StopSeed", pfnStopSeed);
    all &= LookUp(module_.Get(), "GetFinishMessage", pfnGetFinishMessage);
    all &= LookUp(module_.Get(), "RemoveTask", pfnRemoveTask);
    all &= LookUp(module_.Get(), "SetConfigInfo", pfnSetConfigInfo);
    all &= LookUp(module_.Get(), "UpdateRegInfo", pfnUpdateRegInfo);
    all &= LookUp(module_.Get(), "SetP2spOption", pfnSetP2spOption);
    return all;
}

bool CDownloadManager::Bind(const std::wstring& modulePath) {
    Release();
    ClearEntryPoints();
    listener_ = nullptr;
    modulePath_ = modulePath;
    module_.Reset(LoadLibraryW(modulePath.c_str()));
    if (!module_) return false;
    if (!LookUpEntryPoints()) {
        ClearEntryPoints();  // all or nothing
        return false;
    }
    bound_ = true;
    listener_ = nullptr;
    return true;
}

bool CDownloadManager::BindExtracted(const std::wstring& modulePath) {
    Release();
    ClearEntryPoints();
    listener_ = nullptr;
    DeleteFileW(modulePath.c_str());
    bool extracted = false;
    try {
        extracted = ExtractModule(120, L"DOWNLOAD_LIB", modulePath.c_str()) != FALSE;
    } catch (...) {
        extracted = false;
    }
    if (!extracted) return false;
    return Bind(modulePath);
}

int CDownloadManager::StartTask(int taskId) {
    if (!pfnStartTask) return 0;
    int result = pfnStartTask(taskId);
    if (result == 1 && listener_) listener_->OnTaskEvent(0);
    return result;
}

int CDownloadManager::StopTask(int taskId) {
    if (!pfnStopTask) return 0;
    int result = pfnStopTask(taskId);
    if (result == 1 && listener_) listener_->OnTaskEvent(1);
    return result;
}

void CDownloadManager::Release() {
    if (module_) {
        // An engine still running its threads must not lose its code under them:
        // stopping everything first is harmless when the program already did so.
        if (bound_ && pfnUninit) pfnUninit();
        ClearEntryPoints();
        module_.Reset();
    }
    if (!modulePath_.empty()) DeleteFileW(modulePath_.c_str());
    modulePath_.clear();
}
