#include "DocumentText.h"

namespace publish {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

}  // namespace

std::wstring ProtectValue(const std::wstring& value) {
    if (value.empty()) return value;
    const bool blankEdge = IsBlank(value.front()) || IsBlank(value.back());
    const bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                        value.back() == value.front();
    return blankEdge || quoted ? L"\"" + value + L"\"" : value;
}

std::wstring DocumentTextOf(const std::vector<DocumentSection>& sections) {
    std::wstring text;
    for (const DocumentSection& section : sections) {
        if (!text.empty()) text += L"\r\n";
        text += L"[" + section.name + L"]\r\n";
        for (const auto& [key, value] : section.keys) {
            if (!value.empty()) text += key + L"=" + ProtectValue(value) + L"\r\n";
        }
    }
    return text;
}

}  // namespace publish
