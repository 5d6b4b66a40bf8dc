#pragma once
// The adaptive models shared by the LZARI decoder (in the program) and the encoder (a build
// tool): the LZSS constants, the character model with its move-to-front of frequent
// symbols, and the fixed position model that favours near distances.

#include <array>
#include <cstdint>

namespace lzari {

constexpr int N = 4096;                      // ring buffer size; positions are 12 bits
constexpr int F = 60;                        // longest match
constexpr int THRESHOLD = 2;                 // matches are coded only when longer than this
constexpr int N_CHAR = 256 - THRESHOLD + F;  // 256 literals and 58 match lengths
constexpr int M = 15;                        // precision bits
constexpr uint32_t Q1 = 1u << M;
constexpr uint32_t Q2 = 2 * Q1;
constexpr uint32_t Q3 = 3 * Q1;
constexpr uint32_t Q4 = 4 * Q1;
constexpr uint32_t MAX_CUM = Q1 - 1;

constexpr int kHeaderSize = 4;  // decoded size, unsigned 32-bit little-endian
constexpr int kFirstWritePosition = N - F;
constexpr int kMatchCodeBase = 255 - THRESHOLD;  // match length = code - kMatchCodeBase

// Cumulative frequencies of the distances 0..N-1; never updated.
using PositionTable = std::array<uint32_t, N + 1>;
constexpr PositionTable MakePositionTable() {
    PositionTable cum{};
    cum[N] = 0;
    for (int i = N; i >= 1; --i) cum[i - 1] = cum[i] + 10000 / (i + 200);
    return cum;
}
inline constexpr PositionTable kPositionCum = MakePositionTable();

class CCharModel {
public:
    CCharModel();

    // Moves `sym` up past all symbols of equal frequency and counts it once more.
    void Update(int sym);

    uint32_t Total() const { return symCum_[0]; }
    uint32_t CumAbove(int sym) const { return symCum_[sym - 1]; }
    uint32_t CumAt(int sym) const { return symCum_[sym]; }
    int SymbolOf(int ch) const { return charToSym_[ch]; }
    int CharOf(int sym) const { return symToChar_[sym]; }
    // The symbol whose cumulative interval holds `x`: always in 1..N_CHAR.
    int FindSymbol(uint32_t x) const;

private:
    std::array<int32_t, N_CHAR> charToSym_;
    std::array<int32_t, N_CHAR + 1> symToChar_;
    std::array<uint32_t, N_CHAR + 1> symFreq_;
    std::array<uint32_t, N_CHAR + 1> symCum_;
};

// The distance (less one) whose cumulative interval holds `x`: always in 0..N-1.
int FindPosition(uint32_t x);

}  // namespace lzari
