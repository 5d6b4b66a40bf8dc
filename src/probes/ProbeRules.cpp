#include "probes/ProbeRules.h"

#include "base/TextCodec.h"

namespace {

uint64_t SaturatingSum(uint64_t a, uint64_t b) {
    uint64_t sum = a + b;
    return sum < a ? UINT64_MAX : sum;
}

// Windows compares paths without regard to case. Only the letters of the invariant
// ASCII range and Latin-1 fold here, which covers drive letters and the product folders.
wchar_t FoldCase(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    return c;
}

bool SamePathPrefix(const std::wstring& text, const std::wstring& prefix) {
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i])) return false;
    }
    return true;
}

}  // namespace

bool IsSpaceShort(const DiskSpaceFacts& facts, uint64_t required) {
    if (!facts.folderExists || !facts.volumeQueried) return true;
    uint64_t free = facts.freeBytes;
    if (facts.partialFileExists) {
        free = SaturatingSum(SaturatingSum(free, facts.targetFileSize), facts.partialFileSize);
    }
    return free <= required;
}

bool IsInsideProductFolder(const std::wstring& folder, const std::wstring& productPath) {
    if (folder.size() < productPath.size()) return false;
    if (!SamePathPrefix(folder, productPath)) return false;
    if (folder.size() == productPath.size()) return true;
    if (folder[productPath.size()] == L'\\') return true;
    if (!productPath.empty() && productPath.back() == L'\\') return true;
    return TrimBlanks(folder).size() == TrimBlanks(productPath).size();
}

bool AreScreenEdgesCovered(int width, int height,
                           const std::function<bool(int x, int y)>& covered) {
    const int w = width - 1;
    const int h = height - 1;
    const int samples[4][4] = {
        {w / 16, 0, w * 15 / 16, 0},  // top
        {w, h / 16, w, h * 15 / 16},  // right
        {w / 16, h, w * 15 / 16, h},  // bottom
        {0, h / 16, 0, h * 15 / 16},  // left
    };
    for (const auto& edge : samples) {
        if (!covered(edge[0], edge[1]) && !covered(edge[2], edge[3])) return false;
    }
    return true;
}
