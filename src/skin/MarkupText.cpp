#include "skin/MarkupText.h"

#include <cstdint>
#include <cwctype>

namespace {

const wchar_t kTagStart[] = L"{&#";
constexpr size_t kTagStartLength = 3;
constexpr int kFontTableSize = 16;

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'z') return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    return 99;
}

bool IsCSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The parse state: four stacks whose bottom entries are never removed.
struct Stacks {
    std::vector<int> fonts{-1};
    std::vector<int32_t> colours{-1};
    std::vector<int32_t> linkColours{-1};
    std::vector<std::wstring> links{std::wstring()};

    template <class T>
    static void Pop(std::vector<T>& stack) {
        if (stack.size() > 1) stack.pop_back();
    }
};

void FlushRun(std::wstring& run, const Stacks& stacks, std::vector<MarkupSegment>& out) {
    if (run.empty()) return;
    MarkupSegment segment;
    segment.text.swap(run);
    segment.font = stacks.fonts.back();
    segment.link = stacks.links.back();
    segment.colour = segment.link.empty() ? stacks.colours.back() : stacks.linkColours.back();
    out.push_back(std::move(segment));
}

void ApplyTag(const std::wstring& tag, Stacks& stacks) {
    auto valueAfter = [&](size_t nameLength) { return tag.substr(nameLength); };
    if (StartsWithNoCase(tag, L"a=")) {
        stacks.links.push_back(valueAfter(2));
    } else if (StartsWithNoCase(tag, L"/acolor")) {
        Stacks::Pop(stacks.linkColours);
    } else if (StartsWithNoCase(tag, L"/a")) {
        Stacks::Pop(stacks.links);
    } else if (StartsWithNoCase(tag, L"acolor=")) {
        stacks.linkColours.push_back(ParseMarkupColour(valueAfter(7)));
    } else if (StartsWithNoCase(tag, L"font=")) {
        const int32_t n = ParseMarkupLong(valueAfter(5), 10);
        if (n >= 1 && n <= kFontTableSize) stacks.fonts.push_back(static_cast<int>(n - 1));
    } else if (StartsWithNoCase(tag, L"/font")) {
        Stacks::Pop(stacks.fonts);
    } else if (StartsWithNoCase(tag, L"color=")) {
        stacks.colours.push_back(ParseMarkupColour(valueAfter(6)));
    } else if (StartsWithNoCase(tag, L"/color")) {
        Stacks::Pop(stacks.colours);
    }
}

}  // namespace

int32_t ParseMarkupLong(const std::wstring& text, int base) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    // Base 16 takes a "0x" prefix when a hex digit follows it.
    if (base == 16 && i + 2 < text.size() && text[i] == L'0' &&
        (text[i + 1] == L'x' || text[i + 1] == L'X') && DigitValue(text[i + 2]) < 16) {
        i += 2;
    }
    int64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) break;
        value = value * base + digit;
        if (value > int64_t(INT32_MAX) + 1) {
            overflow = true;
            value = int64_t(INT32_MAX) + 1;
        }
    }
    if (negative) value = -value;
    if (overflow || value > INT32_MAX || value < INT32_MIN) {
        return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

int32_t ParseMarkupColour(const std::wstring& value) {
    if (!value.empty() && value[0] == L'#') return ParseMarkupLong(value.substr(1), 16);
    if (value.size() >= 2 && value[0] == L'0' && (value[1] == L'x' || value[1] == L'X')) {
        return ParseMarkupLong(value.substr(2), 16);
    }
    return ParseMarkupLong(value, 10);
}

bool ParseButtonTarget(const std::wstring& target, uint16_t* id) {
    if (!StartsWithNoCase(target, L"button:")) return false;
    const std::wstring number = target.substr(7);
    int32_t value;
    if (number.size() >= 2 && number[0] == L'0' && (number[1] == L'x' || number[1] == L'X')) {
        value = ParseMarkupLong(number.substr(2), 16);
    } else {
        value = ParseMarkupLong(number, 10);
    }
    if (id) *id = static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF);
    return true;
}

std::vector<MarkupSegment> ParseMarkup(const std::wstring& markup) {
    std::vector<MarkupSegment> segments;
    Stacks stacks;
    std::wstring run;
    size_t i = 0;
    while (i < markup.size()) {
        if (markup.compare(i, kTagStartLength, kTagStart) == 0) {
            const size_t close = markup.find(L'}', i + kTagStartLength);
            if (close != std::wstring::npos) {
                FlushRun(run, stacks, segments);
                ApplyTag(markup.substr(i + kTagStartLength, close - i - kTagStartLength), stacks);
                i = close + 1;
                continue;
            }
        }
        run += markup[i++];
    }
    FlushRun(run, stacks, segments);
    return segments;
}

std::wstring EscapeMarkupText(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == L'{' && (i + 1 == text.size() || text[i + 1] == L'&')) out += L"{&#}";
    }
    return out;
}

int LayoutMarkupLine(const std::vector<MarkupBox>& sizes, std::vector<MarkupBox>& boxes,
                     int* totalWidth) {
    int tallest = 0;
    for (const MarkupBox& size : sizes) {
        if (size.bottom > tallest) tallest = size.bottom;
    }
    boxes.clear();
    int x = 0;
    for (const MarkupBox& size : sizes) {
        MarkupBox box;
        box.left = x;
        box.top = tallest - size.bottom;
        box.right = x + size.right;
        box.bottom = tallest;
        boxes.push_back(box);
        x = box.right;
    }
    if (totalWidth) *totalWidth = x;
    return tallest;
}
