#include "config/DeploymentValuesInstance.h"

#include <windows.h>

#include <mutex>

namespace {

DeploymentValues LoadFromResource() {
    DeploymentValues values;
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(self, MAKEINTRESOURCEW(1), L"VEXA_DEPLOY");
    if (!info) return values;
    HGLOBAL handle = ::LoadResource(self, info);
    DWORD size = ::SizeofResource(self, info);
    const char* data = handle ? static_cast<const char*>(::LockResource(handle)) : nullptr;
    if (!data || size == 0) return values;
    DeploymentValues parsed;
    if (ParseDeploymentValues(data, size, &parsed)) values = parsed;
    return values;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int chars = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], chars);
    return wide;
}

}  // namespace

const DeploymentValues& OwnDeploymentValues() {
    static std::once_flag once;
    static DeploymentValues values;
    std::call_once(once, [] { values = LoadFromResource(); });
    return values;
}

std::wstring ConfigServerHost() { return Widen(OwnDeploymentValues().configServer); }
std::wstring StatsServerHost() { return Widen(OwnDeploymentValues().statsServer); }
std::wstring MakerHomePageUrl() { return Widen(OwnDeploymentValues().homePage); }
std::wstring FeedbackPageUrl() { return Widen(OwnDeploymentValues().feedbackPage); }
