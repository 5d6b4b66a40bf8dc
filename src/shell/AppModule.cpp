#include "shell/AppModule.h"

HRESULT CAppModule::Init(void* /*reserved*/, HINSTANCE instance) {
    instance_ = instance ? instance : ::GetModuleHandleW(nullptr);
    mainThreadId_ = ::GetCurrentThreadId();
    return S_OK;
}

void CAppModule::Term() {
    std::lock_guard<std::mutex> guard(lock_);
    loops_.clear();
    for (const auto& entry : classes_) {
        ::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(entry.second)),
                           instance_);
    }
    classes_.clear();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
    std::lock_guard<std::mutex> guard(lock_);
    return loops_.emplace(::GetCurrentThreadId(), loop).second ? TRUE : FALSE;
}

BOOL CAppModule::RemoveMessageLoop() {
    std::lock_guard<std::mutex> guard(lock_);
    return loops_.erase(::GetCurrentThreadId()) ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = loops_.find(threadId);
    return it == loops_.end() ? nullptr : it->second;
}

ATOM CAppModule::RegisterWindowClass(const WNDCLASSEXW& wc) {
    std::lock_guard<std::mutex> guard(lock_);
    std::wstring name = wc.lpszClassName ? wc.lpszClassName : L"";
    auto it = classes_.find(name);
    if (it != classes_.end()) return it->second;
    WNDCLASSEXW copy = wc;
    copy.cbSize = sizeof(copy);
    if (!copy.hInstance) copy.hInstance = instance_ ? instance_ : ::GetModuleHandleW(nullptr);
    ATOM atom = ::RegisterClassExW(&copy);
    if (!atom) {
        // Another module instance may have registered it already (tests create several).
        WNDCLASSEXW existing = {sizeof(existing)};
        atom = static_cast<ATOM>(::GetClassInfoExW(copy.hInstance, copy.lpszClassName, &existing));
        if (!atom) return 0;
        return atom;
    }
    classes_.emplace(name, atom);
    return atom;
}
