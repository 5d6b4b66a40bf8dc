#include "config/UnsignedDecimal.h"

#include <limits>

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

}  // namespace

uint64_t ParseUnsignedDecimal(const std::wstring& text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == L'+') ++pos;
    uint64_t value = 0;
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        uint64_t digit = static_cast<uint64_t>(text[pos] - L'0');
        if (value > (max - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}
