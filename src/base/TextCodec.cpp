#include "base/TextCodec.h"

#include <cstdint>
#include <vector>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

// The code points of a wide text; lone surrogates become U+FFFD.
std::vector<char32_t> CodePoints(const std::wstring& text) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
            c = kReplacement;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::wstring WideFromUtf8(const std::string& bytes) {
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<uint8_t>(bytes[i]);
        int extra = lead < 0x80                   ? 0
                    : lead >= 0xF0 && lead < 0xF5 ? 3
                    : lead >= 0xE0                ? 2
                    : lead >= 0xC2                ? 1
                                                  : -1;
        if (lead >= 0xF5) extra = -1;
        char32_t c = extra == 0   ? lead
                     : extra == 1 ? lead & 0x1F
                     : extra == 2 ? lead & 0x0F
                                  : lead & 0x07;
        size_t j = i + 1;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= bytes.size() || (static_cast<uint8_t>(bytes[j]) & 0xC0) != 0x80) {
                extra = -1;
                break;
            }
            c = (c << 6) | (static_cast<uint8_t>(bytes[j]) & 0x3F);
        }
        const bool overlong = (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
        if (extra < 0 || overlong || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            AppendCodePoint(out, kReplacement);
            i += 1;
            continue;
        }
        AppendCodePoint(out, c);
        i = j;
    }
    return out;
}

std::string Utf8FromWide(const std::wstring& text) {
    std::string out;
    for (char32_t c : CodePoints(text)) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring WideFromUtf16(const std::string& bytes, bool bigEndian) {
    std::wstring units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<uint8_t>(bytes[i]);
        const auto b = static_cast<uint8_t>(bytes[i + 1]);
        units += static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    if constexpr (sizeof(wchar_t) == 2) return units;
    std::wstring out;
    for (char32_t c : CodePoints(units)) out += static_cast<wchar_t>(c);
    return out;
}

std::string Utf16LeFromWide(const std::wstring& text) {
    std::string out;
    auto put = [&out](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (char32_t c : CodePoints(text)) {
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::wstring TrimBlanks(const std::wstring& text) {
    const wchar_t* blanks = L" \t\r\n\f\v";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}
