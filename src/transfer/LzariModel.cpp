#include "transfer/LzariModel.h"

namespace lzari {

CCharModel::CCharModel() {
    symCum_[N_CHAR] = 0;
    for (int sym = N_CHAR; sym >= 1; --sym) {
        int ch = sym - 1;
        charToSym_[ch] = sym;
        symToChar_[sym] = ch;
        symFreq_[sym] = 1;
        symCum_[sym - 1] = symCum_[sym] + 1;
    }
    symFreq_[0] = 0;  // sentinel: differs from every real frequency, stops the walk below
    symToChar_[0] = 0;
}

void CCharModel::Update(int sym) {
    if (symCum_[0] >= MAX_CUM) {
        uint32_t total = 0;
        for (int i = N_CHAR; i >= 1; --i) {
            symCum_[i] = total;
            symFreq_[i] = (symFreq_[i] + 1) / 2;
            total += symFreq_[i];
        }
        symCum_[0] = total;
    }
    // The lowest position at or below `sym` with the same frequency. Frequencies never rise
    // with the position (1 holds the most frequent symbol), so this is a binary search for
    // the first position in 1..sym whose frequency is not above sym's.
    uint32_t freq = symFreq_[sym];
    int low = 1;
    int i = sym;
    while (low < i) {
        int mid = (low + i) / 2;
        if (symFreq_[mid] > freq)
            low = mid + 1;
        else
            i = mid;
    }
    if (i < sym) {
        int chI = symToChar_[i];
        int chSym = symToChar_[sym];
        symToChar_[i] = chSym;
        symToChar_[sym] = chI;
        charToSym_[chI] = sym;
        charToSym_[chSym] = i;
    }
    ++symFreq_[i];
    while (--i >= 0) ++symCum_[i];
}

int CCharModel::FindSymbol(uint32_t x) const {
    int i = 1;
    int j = N_CHAR;
    while (i < j) {
        int k = (i + j) / 2;
        if (symCum_[k] > x)
            i = k + 1;
        else
            j = k;
    }
    return i;
}

int FindPosition(uint32_t x) {
    int i = 1;
    int j = N;
    while (i < j) {
        int k = (i + j) / 2;
        if (kPositionCum[k] > x)
            i = k + 1;
        else
            j = k;
    }
    return i - 1;
}

}  // namespace lzari
