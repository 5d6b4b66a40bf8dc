#pragma once
// Longest-match search over the encoder's ring buffer: a binary search tree of the strings
// starting at each ring position, rooted by the strings' first byte.

#include <array>
#include <cstdint>

#include "transfer/LzariModel.h"

namespace lzari {

class CMatchFinder {
public:
    CMatchFinder();

    // The ring, with the first F-1 bytes mirrored after its end so that comparisons of up to
    // F bytes never wrap.
    void Store(int position, uint8_t byte) {
        text_[position] = byte;
        if (position < F - 1) text_[position + N] = byte;
    }
    uint8_t At(int position) const { return text_[position]; }

    // Inserts the string at `r` and records the longest earlier match of it.
    void Insert(int r);
    void Remove(int p);

    int MatchLength() const { return matchLength_; }
    int MatchDistance() const { return matchDistance_; }

private:
    static constexpr int kNil = N;

    void ReplaceNode(int oldNode, int newNode);

    std::array<uint8_t, N + F - 1> text_{};
    // Nodes 0..N-1 are ring positions, N is "none", N + 1 + byte the root of the tree of
    // strings starting with that byte (roots use only their right link).
    std::array<int, N + 257> left_;
    std::array<int, N + 257> right_;
    std::array<int, N + 257> parent_;
    int matchLength_ = 0;
    int matchDistance_ = 0;
};

}  // namespace lzari
