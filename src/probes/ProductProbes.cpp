#include "probes/ProductProbes.h"

#include <shlwapi.h>
#include <windows.h>

#include "probes/ProbeRules.h"

namespace {

constexpr wchar_t kQuilletAppPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\quillet.exe";
constexpr const wchar_t* kSecurityProductAppPaths[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\marlo.exe",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tevrin.exe",
};

// A text value of HKLM\`key`, read into `bytes` bytes (a longer value fails).
bool ReadMachineText(const wchar_t* key, const wchar_t* value, DWORD bytes, std::wstring* text) {
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = bytes;
    DWORD type = 0;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, key, value, &type, &buffer[0], &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    *text = buffer;
    return true;
}

}  // namespace

bool IsQuilletInstalled() {
    std::wstring path;
    if (!ReadMachineText(kQuilletAppPath, nullptr, 260, &path) || path.empty()) return false;
    return PathFileExistsW(path.c_str()) != FALSE;
}

bool IsOutsideProductFolders(const std::wstring& folder,
                             const std::vector<std::wstring>& products) {
    for (const std::wstring& product : products) {
        if (IsInsideProductFolder(folder, product)) return false;
    }
    return true;
}

bool IsOutsideSecurityProducts(const std::wstring& folder) {
    std::vector<std::wstring> products;
    for (const wchar_t* key : kSecurityProductAppPaths) {
        std::wstring path;
        if (ReadMachineText(key, L"path", 520, &path)) products.push_back(path);
    }
    return IsOutsideProductFolders(folder, products);
}
