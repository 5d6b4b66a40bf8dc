#include "LzariMatchFinder.h"

namespace lzari {

CMatchFinder::CMatchFinder() {
    left_.fill(kNil);
    right_.fill(kNil);
    parent_.fill(kNil);
}

void CMatchFinder::Insert(int r) {
    const uint8_t* key = &text_[r];
    int p = N + 1 + key[0];
    int cmp = 1;
    left_[r] = right_[r] = kNil;
    matchLength_ = 0;
    for (;;) {
        int next = cmp >= 0 ? right_[p] : left_[p];
        if (next == kNil) {
            (cmp >= 0 ? right_[p] : left_[p]) = r;
            parent_[r] = p;
            return;
        }
        p = next;
        int i = 1;
        for (; i < F; ++i) {
            cmp = key[i] - text_[p + i];
            if (cmp != 0) break;
        }
        if (i > THRESHOLD) {
            int distance = (r - p) & (N - 1);
            if (i > matchLength_) {
                matchDistance_ = distance;
                matchLength_ = i;
                if (matchLength_ >= F) break;
            } else if (i == matchLength_ && distance < matchDistance_) {
                matchDistance_ = distance;
            }
        }
    }
    // An equal string of full length: the new position takes over the old node's place.
    parent_[r] = parent_[p];
    left_[r] = left_[p];
    right_[r] = right_[p];
    parent_[left_[p]] = r;
    parent_[right_[p]] = r;
    if (right_[parent_[p]] == p)
        right_[parent_[p]] = r;
    else
        left_[parent_[p]] = r;
    parent_[p] = kNil;
}

void CMatchFinder::Remove(int p) {
    if (parent_[p] == kNil) return;
    int q;
    if (right_[p] == kNil) {
        q = left_[p];
    } else if (left_[p] == kNil) {
        q = right_[p];
    } else {
        q = left_[p];
        if (right_[q] != kNil) {
            do {
                q = right_[q];
            } while (right_[q] != kNil);
            right_[parent_[q]] = left_[q];
            parent_[left_[q]] = parent_[q];
            left_[q] = left_[p];
            parent_[left_[p]] = q;
        }
        right_[q] = right_[p];
        parent_[right_[p]] = q;
    }
    ReplaceNode(p, q);
}

void CMatchFinder::ReplaceNode(int p, int q) {
    parent_[q] = parent_[p];
    if (right_[parent_[p]] == p)
        right_[parent_[p]] = q;
    else
        left_[parent_[p]] = q;
    parent_[p] = kNil;
}

}  // namespace lzari
