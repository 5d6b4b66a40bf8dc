#pragma once
// A frame image drawn as a nine-part grid, so that it can cover a rectangle of any size:
// corners 1:1, edges stretched along one axis, the middle stretched both ways.

#include "skin/SomBitmap.h"

class CSomBitmap9Part : public CSomBitmap {
public:
    // left: width of the left column; right: x where the right column starts (inside the
    // frame); top: height of the top row; bottom: y where the bottom row starts.
    CSomBitmap9Part(UINT_PTR source, int left, int right, int top, int bottom, WORD frameCount,
                    BYTE kind = kKindPng);

    void DrawStretched(HDC hdc, int x, int y, int cx, int cy, int frame) override;

private:
    int left_;
    int right_;
    int top_;
    int bottom_;
};
