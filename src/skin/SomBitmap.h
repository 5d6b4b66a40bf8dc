#pragma once
// A skin image: a PNG from the program's resources (type "PNG") or from a file, decoded on
// first use and kept, made of equal-width frames side by side (one per visual state).
// Frame n lies at x = n * frame width. An image that fails to load is never retried; it has
// size 0 and draws nothing.

#include <windows.h>

#include <string>

#include "base/GdiHandles.h"

class CSomBitmap {
public:
    // Source formats; only PNG images are decoded, any other kind loads as "no image".
    enum Kind : BYTE { kKindIcon = 0, kKindBmp = 1, kKindPng = 2, kKindJpeg = 3 };

    // source: a resource id (<= 0xFFFE) or a pointer to a wide file path (copied).
    CSomBitmap(UINT_PTR source, WORD frameCount, BYTE kind = kKindPng);
    virtual ~CSomBitmap() = default;
    CSomBitmap(const CSomBitmap&) = delete;
    CSomBitmap& operator=(const CSomBitmap&) = delete;

    virtual void DrawStretched(HDC hdc, int x, int y, int cx, int cy, int frame);
    virtual void DrawHStretched(HDC hdc, int x, int y, int cx, int frame);

    int GetFrameWidth();
    int GetHeight();
    BOOL HasAlpha();
    WORD GetFrameCount();
    // Whether the image decoded (loads it on the first call).
    BOOL IsLoaded();
    // The resource id, 0 for an image from a file.
    UINT GetResourceId() const { return resourceId_; }

    void DrawFrame(HDC hdc, int x, int y, int frame);
    void DrawFramePart(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY, int frame);
    void DrawFramePartStretched(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY,
                                int srcCx, int srcCy, int frame);

protected:
    void Load();
    // Copies (srcX, srcY, srcCx x srcCy) of the frame to (x, y, cx x cy): AlphaBlend for
    // images with alpha, BitBlt / StretchBlt otherwise. Pieces outside the frame are not drawn.
    void Blit(HDC hdc, HDC source, int x, int y, int cx, int cy, int srcX, int srcY, int srcCx,
              int srcCy, int frame);
    void BlitWithTemporaryDC(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY, int srcCx,
                             int srcCy, int frame);

private:
    HBITMAP Decode();

    UINT resourceId_ = 0;
    std::wstring path_;  // empty when the source is a resource
    CBitmapHandle handle_;
    int frameWidth_ = 0;
    int height_ = 0;
    WORD frameCount_;
    BYTE hasAlpha_ = 0;
    BYTE kind_;
    BOOL loadAttempted_ = FALSE;
};
