#include "skin/SomBitmap9Part.h"

CSomBitmap9Part::CSomBitmap9Part(UINT_PTR source, int left, int right, int top, int bottom,
                                 WORD frameCount, BYTE kind)
    : CSomBitmap(source, frameCount, kind),
      left_(left),
      right_(right),
      top_(top),
      bottom_(bottom) {}

void CSomBitmap9Part::DrawStretched(HDC hdc, int x, int y, int cx, int cy, int frame) {
    if (!IsLoaded() || cx <= 0 || cy <= 0) return;
    const int w = GetFrameWidth();
    const int h = GetHeight();
    const int L = left_, R = right_, T = top_, B = bottom_;
    const int middleWidth = cx - L - (w - R);
    const int middleHeight = cy - T - (h - B);

    // Top row.
    DrawFramePart(hdc, x, y, L, T, 0, 0, frame);
    if (middleWidth != 0)
        DrawFramePartStretched(hdc, x + L, y, middleWidth, T, L, 0, R - L, T, frame);
    DrawFramePart(hdc, x + L + middleWidth, y, w - R, T, R, 0, frame);

    // Middle row.
    if (middleHeight != 0) {
        const int my = y + T;
        DrawFramePartStretched(hdc, x, my, L, middleHeight, 0, T, L, B - T, frame);
        if (middleWidth != 0) {
            DrawFramePartStretched(hdc, x + L, my, middleWidth, middleHeight, L, T, R - L, B - T,
                                   frame);
        }
        DrawFramePartStretched(hdc, x + L + middleWidth, my, w - R, middleHeight, R, T, w - R,
                               B - T, frame);
    }

    // Bottom row.
    const int by = y + T + middleHeight;
    DrawFramePart(hdc, x, by, L, h - B, 0, B, frame);
    if (middleWidth != 0) {
        DrawFramePartStretched(hdc, x + L, by, middleWidth, h - B, L, B, R - L, h - B, frame);
    }
    DrawFramePart(hdc, x + L + middleWidth, by, w - R, h - B, R, B, frame);
}
