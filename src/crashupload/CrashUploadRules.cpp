#include "crashupload/CrashUploadRules.h"

#include <cstdio>

namespace {

constexpr wchar_t kDumpSuffix[] = L".dmp";

std::wstring ThreeDigits(int number) {
    std::wstring text = L"000";
    text[0] = static_cast<wchar_t>(L'0' + number / 100 % 10);
    text[1] = static_cast<wchar_t>(L'0' + number / 10 % 10);
    text[2] = static_cast<wchar_t>(L'0' + number % 10);
    return text;
}

std::wstring Digits(int value, int width) {
    std::wstring text(static_cast<size_t>(width), L'0');
    for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
        text[static_cast<size_t>(i)] = static_cast<wchar_t>(L'0' + value % 10);
    return text;
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// UTF-16 (Windows) or UTF-32 (host) wide text to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint32_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
            static_cast<uint32_t>(text[i + 1]) >= 0xDC00 &&
            static_cast<uint32_t>(text[i + 1]) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
        } else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(code, &out);
    }
    return out;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'.';
}

}  // namespace

bool ParseDumpFileName(const std::wstring& name, std::wstring* programFile, int* number) {
    const size_t suffixLength = 4;  // ".dmp"
    if (name.size() < 1 + 4 + suffixLength) return false;
    size_t numberAt = name.size() - suffixLength - 3;
    if (name.compare(name.size() - suffixLength, suffixLength, kDumpSuffix) != 0) return false;
    if (name[numberAt - 1] != L'_') return false;
    int value = 0;
    for (size_t i = numberAt; i < numberAt + 3; ++i) {
        if (name[i] < L'0' || name[i] > L'9') return false;
        value = value * 10 + (name[i] - L'0');
    }
    if (value > kHighestDumpNumber || numberAt - 1 == 0) return false;
    *programFile = name.substr(0, numberAt - 1);
    *number = value;
    return true;
}

std::vector<std::wstring> DumpFileNames(const std::wstring& programFile) {
    std::vector<std::wstring> names;
    for (int number = 0; number <= kHighestDumpNumber; ++number)
        names.push_back(programFile + L"_" + ThreeDigits(number) + kDumpSuffix);
    return names;
}

std::wstring PercentEncode(const std::wstring& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : ToUtf8(text)) {
        if (IsUnreserved(c)) {
            out.push_back(static_cast<wchar_t>(c));
        } else {
            out.push_back(L'%');
            out.push_back(static_cast<wchar_t>(kHex[c >> 4]));
            out.push_back(static_cast<wchar_t>(kHex[c & 15]));
        }
    }
    return out;
}

std::wstring BuildCrashUploadPath(const CrashUploadInfo& info) {
    const UtcTime& t = info.written;
    std::wstring time = Digits(t.year, 4) + Digits(t.month, 2) + Digits(t.day, 2) + L"T" +
                        Digits(t.hour, 2) + Digits(t.minute, 2) + Digits(t.second, 2) + L"Z";
    std::wstring client = info.clientId.empty() ? L"unknown" : info.clientId;
    return std::wstring(kCrashUploadRoot) + PercentEncode(info.packageId) + L"/" +
           PercentEncode(info.version) + L"/" + PercentEncode(client) + L"_" + time + L"_" +
           ThreeDigits(info.number) + kDumpSuffix;
}

bool SplitHostAndPort(const std::wstring& value, std::wstring* host, int* port) {
    size_t colon = value.find(L':');
    std::wstring name = value.substr(0, colon);
    if (name.empty()) return false;
    for (wchar_t c : name) {
        if (!IsHostCharacter(c)) return false;
    }
    int number = 80;
    if (colon != std::wstring::npos) {
        std::wstring digits = value.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        number = 0;
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9') return false;
            number = number * 10 + (c - L'0');
        }
        if (number < 1 || number > 65535) return false;
    }
    *host = name;
    *port = number;
    return true;
}

bool LooksLikeMinidump(const uint8_t* bytes, size_t size) {
    return size >= 4 && bytes[0] == 'M' && bytes[1] == 'D' && bytes[2] == 'M' && bytes[3] == 'P';
}
