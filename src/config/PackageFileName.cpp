#include "config/PackageFileName.h"

#include <cwctype>

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
