// Fuzzes the label markup parser and the literal escape: any text parses, and escaped text
// always comes back as the same characters with no tag effect.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "skin/MarkupText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        // A small alphabet makes tags likely.
        static const wchar_t kAlphabet[] = L"{&#}=/acolorfnt0x1#9ABbutn:游 ";
        text += (data[i] & 0x80) ? wchar_t(data[i] | (data[i + 1] << 8))
                                 : kAlphabet[data[i] % (sizeof(kAlphabet) / sizeof(wchar_t) - 1)];
    }
    ParseMarkup(text);
    std::wstring joined;
    for (const MarkupSegment& s : ParseMarkup(EscapeMarkupText(text))) {
        if (!s.link.empty() || s.colour != -1 || s.font != -1) std::abort();
        joined += s.text;
    }
    if (joined != text) std::abort();
    return 0;
}
