#include "config/PackageFileName.h"

#include <algorithm>
#include <cwctype>
#include <set>

namespace {

constexpr size_t kLongestName = 200;  // leaves room for the folder within a 260-character path

std::wstring UpperStem(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return stem;
}

bool IsDeviceName(const std::wstring& name) {
    const std::wstring stem = UpperStem(name);
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

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

std::wstring PackageFileNameOf(const std::wstring& link) {
    const size_t slash = link.rfind(L'/');
    return slash == std::wstring::npos ? link : link.substr(slash + 1);
}

std::wstring PackageFileNameProblem(const std::wstring& name) {
    if (name.empty()) return L"the name is empty";
    if (name == L"." || name == L"..") return L"\".\" and \"..\" name folders, not files";
    if (name.size() > kLongestName) return L"the name is longer than 200 characters";
    for (wchar_t c : name) {
        if (c < 0x20 || c == 0x7F) return L"the name holds a control character";
        if (std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos)
            return std::wstring(L"Windows does not allow \"") + c + L"\" in file names";
        if (std::wstring(L" %#,").find(c) != std::wstring::npos)
            return std::wstring(L"\"") + c + L"\" would change the meaning of the link";
    }
    if (name.back() == L'.') return L"Windows drops a trailing dot from file names";
    if (IsDeviceName(name)) return L"the name is a Windows device name";
    return std::wstring();
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
    std::wstring candidate = PackageFileNameOf(file.link);
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
