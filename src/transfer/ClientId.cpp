#include "transfer/ClientId.h"

#include <windows.h>

#include <utility>

#include "base/ScopedHandle.h"
#include "transfer/ModuleExtractor.h"

namespace {

constexpr UINT kIdentityModuleResource = 121;
constexpr wchar_t kIdentityModuleType[] = L"VERYFY_DLL";
using GetCidFunction = int(WINAPI*)(wchar_t* buffer, int capacity);

// Calls GetCIDW of the loaded module; the module is unloaded when this returns.
bool CallIdentityModule(const std::wstring& modulePath, std::wstring* id) {
    CScopedModule module(LoadLibraryW(modulePath.c_str()));
    if (module.Get() == nullptr) return false;
    auto getCid = reinterpret_cast<GetCidFunction>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), "GetCIDW")));
    if (getCid == nullptr) return false;
    wchar_t buffer[kClientIdCapacity] = {};
    if (getCid(buffer, kClientIdCapacity) == 0) return false;
    buffer[kClientIdCapacity - 1] = L'\0';
    *id = buffer;
    return true;
}

}  // namespace

CClientIdSource::CClientIdSource(std::function<std::wstring()> modulePath)
    : modulePath_(std::move(modulePath)) {}

bool CClientIdSource::Get(std::wstring* id) {
    std::lock_guard<std::mutex> guard(lock_);
    if (cached_.empty()) {
        std::wstring fresh;
        if (!Compute(modulePath_(), &fresh) || fresh.empty()) {
            id->clear();
            return false;
        }
        cached_ = fresh;
    }
    *id = cached_;
    return true;
}

bool CClientIdSource::Compute(const std::wstring& modulePath, std::wstring* id) {
    if (modulePath.empty()) return false;
    DeleteFileW(modulePath.c_str());
    if (!ExtractModule(kIdentityModuleResource, kIdentityModuleType, modulePath.c_str()))
        return false;
    bool ok = CallIdentityModule(modulePath, id);
    DeleteFileW(modulePath.c_str());
    return ok;
}
