#include "config/PackageFileName.h"

#include <algorithm>
#include <set>

namespace {

constexpr size_t kMaxNameLength = 255;

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? wchar_t(c - L'a' + L'A') : c; }

std::wstring AsciiUpper(std::wstring text) {
    for (wchar_t& c : text) c = AsciiUpper(c);
    return text;
}

bool IsForbiddenCharacter(wchar_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    return std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos;
}

// Device names stay devices whatever extension follows them ("nul.txt" is NUL), and
// trailing blanks before the dot do not help ("CON .exe").
bool IsReservedDeviceName(const std::wstring& name) {
    std::wstring stem = AsciiUpper(name.substr(0, name.find(L'.')));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    static const wchar_t* const kFixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::any_of(std::begin(kFixed), std::end(kFixed),
                    [&](const wchar_t* d) { return stem == d; })) {
        return true;
    }
    if (stem.size() != 4) return false;
    std::wstring prefix = stem.substr(0, 3);
    wchar_t digit = stem[3];
    // The superscript digits count as well: Windows maps them to COM1-3 / LPT1-3.
    bool isDigit =
        (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    return isDigit && (prefix == L"COM" || prefix == L"LPT");
}

}  // namespace

std::wstring LinkFileName(const std::wstring& link) {
    size_t slash = link.find_last_of(L'/');
    return slash == std::wstring::npos ? link : link.substr(slash + 1);
}

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name.size() > kMaxNameLength) return false;
    if (std::any_of(name.begin(), name.end(), IsForbiddenCharacter)) return false;
    if (name == L"." || name == L"..") return false;
    wchar_t last = name.back();
    if (last == L'.' || last == L' ') return false;
    return !IsReservedDeviceName(name);
}

bool PackageFileNameOf(const PackageFile& file, std::wstring* name) {
    std::wstring candidate = LinkFileName(file.link);
    if (!IsPlainFileName(candidate)) {
        name->clear();
        return false;
    }
    *name = candidate;
    return true;
}

bool ArePackageFileNamesSafe(const std::deque<PackageFile>& files) {
    std::set<std::wstring> seen;
    for (const PackageFile& file : files) {
        std::wstring name;
        if (!PackageFileNameOf(file, &name)) return false;
        if (!seen.insert(AsciiUpper(name)).second) return false;
    }
    return true;
}
