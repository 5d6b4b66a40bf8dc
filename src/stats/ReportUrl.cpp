#include "stats/ReportUrl.h"

#include <cstdint>

namespace {

// A statistics server may read the query raw, so a value goes out as written except for what
// would end it early, add a parameter, cut the URL at a fragment, read differently after
// decoding ("%", "+") or break the request line (blanks, controls, bytes beyond ASCII).
bool BreaksQuery(uint32_t c) {
    return c <= 0x20 || c >= 0x7F || c == '&' || c == '#' || c == '%' || c == '+' || c == '=';
}

void AppendEscapedByte(std::wstring& out, uint8_t byte) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    out += L'%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// The code point at `i` (a surrogate pair where wide characters are UTF-16); `i` moves past
// it. A lone surrogate becomes U+FFFD.
uint32_t NextCodePoint(const std::wstring& text, size_t& i) {
    uint32_t c = static_cast<uint32_t>(text[i++]);
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
        uint32_t low = static_cast<uint32_t>(text[i]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0xFFFD;
    return c;
}

void AppendEscapedCodePoint(std::wstring& out, uint32_t c) {
    if (c < 0x80) {
        AppendEscapedByte(out, static_cast<uint8_t>(c));
    } else if (c < 0x800) {
        AppendEscapedByte(out, static_cast<uint8_t>(0xC0 | (c >> 6)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        AppendEscapedByte(out, static_cast<uint8_t>(0xE0 | (c >> 12)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else {
        AppendEscapedByte(out, static_cast<uint8_t>(0xF0 | (c >> 18)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendEscapedByte(out, static_cast<uint8_t>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::wstring EncodeReportValue(const std::wstring& value) {
    std::wstring out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size();) {
        uint32_t c = NextCodePoint(value, i);
        if (BreaksQuery(c)) {
            AppendEscapedCodePoint(out, c);
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::wstring BuildClientAppReportUrl(const std::wstring& statsHost, const ClientAppReport& report) {
    std::wstring url = L"http://" + statsHost + L"/ClientApp/" + report.name + L"/";
    url += L"?name=" + EncodeReportValue(report.packageId);
    url += L"&from=" + std::to_wstring(report.withMd5 ? 1 : 0);
    url += L"&mid=" + EncodeReportValue(report.machineId);
    url += L"&ver=" + EncodeReportValue(report.versionText) + L"&";
    if (report.withMd5) url += L"md5=" + EncodeReportValue(report.md5List);
    return url;
}
