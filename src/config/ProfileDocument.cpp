#include "config/ProfileDocument.h"

#include <cwctype>

#include "base/TextCodec.h"

namespace {

bool IsProfileBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring Trim(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsProfileBlank(text[first])) ++first;
    while (last > first && IsProfileBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

std::wstring StripQuotes(const std::wstring& value) {
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool StartsWith(const std::string& bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && bytes.compare(0, length, prefix, length) == 0;
}

}  // namespace

DecodedProfile DecodeProfileBytes(const std::string& bytes) {
    DecodedProfile out;
    if (StartsWith(bytes, "\xFF\xFE", 2)) {
        out.encoding = ProfileEncoding::kUtf16Le;
        out.text = WideFromUtf16(bytes.substr(2), false);
    } else if (StartsWith(bytes, "\xFE\xFF", 2)) {
        out.encoding = ProfileEncoding::kUtf16Be;
        out.text = WideFromUtf16(bytes.substr(2), true);
    } else if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) {
        out.encoding = ProfileEncoding::kUtf8Bom;
        out.text = WideFromUtf8(bytes.substr(3));
    } else {
        for (char c : bytes) out.codePageDependent |= (static_cast<unsigned char>(c) >= 0x80);
        out.text = WideFromUtf8(bytes);
    }
    return out;
}

CProfileDocument::CProfileDocument(const std::wstring& text) : sections_(1) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (line[0] == L'[') {
            const size_t close = line.find(L']');
            sections_.push_back(
                line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;  // a line without a value has none to give
        entries_.push_back(
            {sections_.size() - 1, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
    }
}

std::wstring CProfileDocument::Read(const wchar_t* section, const wchar_t* key) {
    // Only the first section of a name is searched, and its first key of the name, as the
    // platform does.
    size_t found = 1;
    while (found < sections_.size() && !SameName(sections_[found], section)) ++found;
    if (found == sections_.size()) return std::wstring();
    for (const Entry& entry : entries_) {
        if (entry.section == found && SameName(entry.key, key)) return StripQuotes(entry.value);
    }
    return std::wstring();
}
