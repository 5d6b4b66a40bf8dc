#pragma once
// The arithmetic-coding half of the LZARI encoder: turns literals and matches into the bit
// stream that the program's decoder reads. Tests use it directly to build streams with
// chosen symbols (matches into the pre-filled spaces, overlapping copies).

#include <cstdint>
#include <vector>

#include "transfer/LzariModel.h"

namespace lzari {

class CSymbolWriter {
public:
    // Starts a stored resource whose header declares `decodedSize` bytes.
    explicit CSymbolWriter(uint32_t decodedSize);

    void WriteLiteral(uint8_t byte);
    // `length` 3..F bytes copied from `distance` 1..N-1 bytes back.
    void WriteMatch(int length, int distance);
    // Ends the stream and hands out the stored bytes (header included).
    std::vector<uint8_t> Finish();

private:
    void EncodeChar(int ch);
    void EncodePosition(int position);
    void Narrow();
    void Output(int bit);
    void PutBit(int bit);

    std::vector<uint8_t> out_;
    uint32_t low_ = 0;
    uint32_t high_ = Q4;
    uint32_t pendingBits_ = 0;
    uint32_t bitBuffer_ = 0;
    uint32_t bitMask_ = 128;
    CCharModel model_;
};

}  // namespace lzari
