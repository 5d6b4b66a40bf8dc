#include "LzariEncoder.h"

#include <algorithm>
#include <memory>

#include "LzariMatchFinder.h"
#include "LzariSymbolWriter.h"

namespace lzari {

std::vector<uint8_t> Encode(const uint8_t* data, size_t size) {
    CSymbolWriter writer(static_cast<uint32_t>(size));
    if (size == 0) return writer.Finish();

    auto finder = std::make_unique<CMatchFinder>();
    int s = 0;
    int r = kFirstWritePosition;
    for (int i = s; i < r; ++i) finder->Store(i, ' ');
    size_t next = 0;
    int len = 0;
    for (; len < F && next < size; ++len) finder->Store(r + len, data[next++]);
    for (int i = 1; i <= F; ++i) finder->Insert(r - i);
    finder->Insert(r);

    while (len > 0) {
        int matchLength = std::min(finder->MatchLength(), len);
        if (matchLength <= THRESHOLD) {
            matchLength = 1;
            writer.WriteLiteral(finder->At(r));
        } else {
            writer.WriteMatch(matchLength, finder->MatchDistance());
        }
        // Slide the window by the bytes just coded, reading as many new ones.
        for (int i = 0; i < matchLength; ++i) {
            finder->Remove(s);
            if (next < size) {
                finder->Store(s, data[next++]);
            } else {
                --len;
            }
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (len > 0) finder->Insert(r);
        }
    }
    return writer.Finish();
}

}  // namespace lzari
