#include "LzariSymbolWriter.h"

namespace lzari {

CSymbolWriter::CSymbolWriter(uint32_t decodedSize) {
    for (int i = 0; i < kHeaderSize; ++i)
        out_.push_back(static_cast<uint8_t>(decodedSize >> (8 * i)));
}

void CSymbolWriter::WriteLiteral(uint8_t byte) { EncodeChar(byte); }

void CSymbolWriter::WriteMatch(int length, int distance) {
    EncodeChar(kMatchCodeBase + length);
    EncodePosition(distance - 1);
}

std::vector<uint8_t> CSymbolWriter::Finish() {
    ++pendingBits_;
    Output(low_ < Q1 ? 0 : 1);
    if (bitMask_ != 128) out_.push_back(static_cast<uint8_t>(bitBuffer_));
    bitMask_ = 128;
    bitBuffer_ = 0;
    return std::move(out_);
}

void CSymbolWriter::EncodeChar(int ch) {
    int sym = model_.SymbolOf(ch);
    uint32_t range = high_ - low_;
    high_ = low_ + range * model_.CumAbove(sym) / model_.Total();
    low_ = low_ + range * model_.CumAt(sym) / model_.Total();
    Narrow();
    model_.Update(sym);
}

void CSymbolWriter::EncodePosition(int position) {
    uint32_t range = high_ - low_;
    high_ = low_ + range * kPositionCum[position] / kPositionCum[0];
    low_ = low_ + range * kPositionCum[position + 1] / kPositionCum[0];
    Narrow();
}

void CSymbolWriter::Narrow() {
    for (;;) {
        if (high_ <= Q2) {
            Output(0);
        } else if (low_ >= Q2) {
            Output(1);
            low_ -= Q2;
            high_ -= Q2;
        } else if (low_ >= Q1 && high_ <= Q3) {
            ++pendingBits_;
            low_ -= Q1;
            high_ -= Q1;
        } else {
            break;
        }
        low_ *= 2;
        high_ *= 2;
    }
}

void CSymbolWriter::Output(int bit) {
    PutBit(bit);
    for (; pendingBits_ > 0; --pendingBits_) PutBit(!bit);
}

void CSymbolWriter::PutBit(int bit) {
    if (bit) bitBuffer_ |= bitMask_;
    bitMask_ >>= 1;
    if (bitMask_ == 0) {
        out_.push_back(static_cast<uint8_t>(bitBuffer_));
        bitBuffer_ = 0;
        bitMask_ = 128;
    }
}

}  // namespace lzari
