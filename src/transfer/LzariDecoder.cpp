#include "transfer/LzariDecoder.h"

#include <array>

#include "transfer/LzariModel.h"

namespace lzari {
namespace {

// Reads the stream most significant bit first. The decoder looks 17 bits ahead, so it asks
// for a few bits after the last stored byte: those are zeros, never bytes past the input.
class CBitReader {
public:
    CBitReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    uint32_t Next() {
        mask_ >>= 1;
        if (mask_ == 0) {
            current_ = pos_ < length_ ? data_[pos_] : 0;
            ++pos_;
            if (pos_ > length_) pos_ = length_;
            mask_ = 128;
        }
        return (current_ & mask_) != 0 ? 1u : 0u;
    }

private:
    const uint8_t* data_;
    size_t length_;
    size_t pos_ = 0;
    uint32_t current_ = 0;
    uint32_t mask_ = 0;
};

// All state of one decode. Unsigned 32-bit arithmetic throughout: a damaged stream can make
// `value` leave the coding interval, which only wraps, while low < high always holds because
// the interval stays wider than any model total.
class CLzariDecoder {
public:
    CLzariDecoder(const uint8_t* stream, size_t length) : bits_(stream, length) {
        for (int i = 0; i < M + 2; ++i) value_ = 2 * value_ + bits_.Next();
        for (int i = 0; i < N; ++i) text_[i] = i < kFirstWritePosition ? ' ' : 0;
    }

    void Run(uint8_t* out, size_t size) {
        size_t produced = 0;
        int r = kFirstWritePosition;
        while (produced < size) {
            int ch = DecodeChar();
            if (ch < 256) {
                out[produced++] = static_cast<uint8_t>(ch);
                text_[r] = static_cast<uint8_t>(ch);
                r = (r + 1) & (N - 1);
                continue;
            }
            int source = (r - DecodePosition() - 1) & (N - 1);
            int length = ch - kMatchCodeBase;
            for (int k = 0; k < length && produced < size; ++k) {
                uint8_t c = text_[(source + k) & (N - 1)];
                out[produced++] = c;
                text_[r] = c;
                r = (r + 1) & (N - 1);
            }
        }
    }

private:
    int DecodeChar() {
        uint32_t range = high_ - low_;
        uint32_t x = ((value_ - low_ + 1) * model_.Total() - 1) / range;
        int sym = model_.FindSymbol(x);
        high_ = low_ + range * model_.CumAbove(sym) / model_.Total();
        low_ = low_ + range * model_.CumAt(sym) / model_.Total();
        Narrow();
        int ch = model_.CharOf(sym);
        model_.Update(sym);
        return ch;
    }

    int DecodePosition() {
        uint32_t range = high_ - low_;
        uint32_t x = ((value_ - low_ + 1) * kPositionCum[0] - 1) / range;
        int position = FindPosition(x);
        high_ = low_ + range * kPositionCum[position] / kPositionCum[0];
        low_ = low_ + range * kPositionCum[position + 1] / kPositionCum[0];
        Narrow();
        return position;
    }

    void Narrow() {
        for (;;) {
            if (low_ >= Q2) {
                value_ -= Q2;
                low_ -= Q2;
                high_ -= Q2;
            } else if (low_ >= Q1 && high_ <= Q3) {
                value_ -= Q1;
                low_ -= Q1;
                high_ -= Q1;
            } else if (high_ > Q2) {
                break;
            }
            low_ *= 2;
            high_ *= 2;
            value_ = 2 * value_ + bits_.Next();
        }
    }

    CBitReader bits_;
    uint32_t low_ = 0;
    uint32_t high_ = Q4;
    uint32_t value_ = 0;
    CCharModel model_;
    std::array<uint8_t, N> text_;
};

}  // namespace

bool ReadDecodedSize(const uint8_t* stored, size_t storedLength, uint32_t* decodedSize) {
    if (stored == nullptr || storedLength < kHeaderSize) return false;
    *decodedSize = static_cast<uint32_t>(stored[0]) | static_cast<uint32_t>(stored[1]) << 8 |
                   static_cast<uint32_t>(stored[2]) << 16 | static_cast<uint32_t>(stored[3]) << 24;
    return true;
}

DecodeResult Decode(const uint8_t* stored, size_t storedLength, uint8_t* out, size_t capacity,
                    size_t* produced) {
    *produced = 0;
    uint32_t size = 0;
    if (!ReadDecodedSize(stored, storedLength, &size)) return DecodeResult::kNoHeader;
    if (size > capacity) return DecodeResult::kTooLarge;
    if (size == 0) return DecodeResult::kOk;
    CLzariDecoder decoder(stored + kHeaderSize, storedLength - kHeaderSize);
    decoder.Run(out, size);
    *produced = size;
    return DecodeResult::kOk;
}

}  // namespace lzari
