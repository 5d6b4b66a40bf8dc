#include "shell/LinkRules.h"

#include <algorithm>
#include <cwctype>

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring AsciiLower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

// The scheme of "scheme:rest" (RFC 3986: a letter, then letters, digits, '+', '-', '.'),
// lower-cased; empty when the text does not start with one. A single letter before the
// colon is a drive, not a scheme.
std::wstring SchemeOf(const std::wstring& text) {
    if (text.empty() || !IsAsciiLetter(text[0])) return {};
    size_t i = 1;
    while (i < text.size() && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]) || text[i] == L'+' ||
                               text[i] == L'-' || text[i] == L'.')) {
        ++i;
    }
    if (i >= text.size() || text[i] != L':' || i < 2) return {};
    return AsciiLower(text.substr(0, i));
}

// Schemes whose handlers reach local files or run local programs: the shell namespace,
// compiled-help and moniker URLs, the troubleshooter and search protocols, script URLs.
bool IsLocalScheme(const std::wstring& scheme) {
    static const wchar_t* const kLocal[] = {
        L"file",       L"shell",    L"mk",     L"its",         L"ms-its",    L"ms-itss",
        L"hcp",        L"ms-msdt",  L"search", L"search-ms",   L"ms-search", L"ms-officecmd",
        L"javascript", L"vbscript", L"res",    L"ms-settings", L"ms-cxh",    L"ms-cxh-full",
    };
    return std::any_of(std::begin(kLocal), std::end(kLocal),
                       [&](const wchar_t* s) { return scheme == s; });
}

bool HasControlCharacters(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

bool IsThreeCharExtension(const std::wstring& text, size_t dot) {
    if (dot + 4 > text.size()) return false;
    for (size_t k = dot + 1; k <= dot + 3; ++k) {
        if (!IsAsciiLetter(text[k]) && !IsAsciiDigit(text[k])) return false;
    }
    return true;
}

// Index of the dot of the program's extension in a drive path (a dot and three letters or
// digits that end at a space or at the end of the text), or npos. A folder whose name holds
// such a dot ("D:\My.Doc Files\setup.exe") has a backslash after it, so the first one with
// no backslash after it wins; failing that (a path among the arguments), the first one.
size_t FindProgramExtension(const std::wstring& text) {
    size_t first = std::wstring::npos;
    for (size_t dot = text.find(L'.'); dot != std::wstring::npos; dot = text.find(L'.', dot + 1)) {
        if (!IsThreeCharExtension(text, dot)) continue;
        if (dot + 4 != text.size() && text[dot + 4] != L' ') continue;
        if (text.find(L'\\', dot) == std::wstring::npos) return dot;
        if (first == std::wstring::npos) first = dot;
    }
    return first;
}

}  // namespace

LinkTargetKind ClassifyLinkTarget(const std::wstring& target) {
    if (target.empty()) return LinkTargetKind::Empty;
    if (HasControlCharacters(target)) return LinkTargetKind::Malformed;
    std::wstring scheme = SchemeOf(target);
    if (scheme.empty()) {
        // No scheme: "C:\..", "C:", "\\server\share", "//server", "\root", "..\x.exe",
        // "calc.exe" - the shell would take every one of these as a file to run or open.
        wchar_t first = target[0];
        if (first == L' ' || first == 0x3000) return LinkTargetKind::Malformed;
        return LinkTargetKind::FilePath;
    }
    if (IsLocalScheme(scheme)) return LinkTargetKind::FilePath;
    return LinkTargetKind::Link;
}

bool IsOpenableLink(const std::wstring& target) {
    return ClassifyLinkTarget(target) == LinkTargetKind::Link;
}

bool IsPageNavigationAllowed(const std::wstring& url) {
    switch (ClassifyLinkTarget(url)) {
        case LinkTargetKind::Link:
            return true;
        case LinkTargetKind::FilePath: {
            // Script URLs run inside the page and res: is the browser's own error page; the
            // rest of the local schemes and every path would reach the user's files.
            std::wstring scheme = SchemeOf(url);
            return scheme == L"javascript" || scheme == L"vbscript" || scheme == L"res";
        }
        default:
            return false;
    }
}

std::wstring QuoteExecutablePath(const std::wstring& text) {
    constexpr size_t kMaxChars = 512;  // with the terminator
    if (text.empty() || text[0] == L'"') return text;
    if (text.size() >= 3 && text[1] != L':') return text;
    size_t dot = FindProgramExtension(text);
    if (dot == std::wstring::npos) return text;
    if (text.size() + 2 + 1 > kMaxChars) return text;
    size_t n = dot + 4;
    return L"\"" + text.substr(0, n) + L"\"" + text.substr(n);
}
