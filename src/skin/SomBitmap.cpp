#include "skin/SomBitmap.h"

#include <cstdio>
#include <vector>

#include "skin/PngLoader.h"
#include "skin/SkinResourcesInstance.h"

namespace {

constexpr UINT_PTR kLargestResourceId = 0xFFFE;
// No skin image comes near this; a larger file is not read at all.
constexpr long kMaxImageFileBytes = 32L * 1024 * 1024;

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    FILE* file = ::_wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size > 0 && size <= kMaxImageFileBytes && std::fseek(file, 0, SEEK_SET) == 0) {
        bytes.resize(static_cast<size_t>(size));
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
    }
    std::fclose(file);
    return bytes;
}

}  // namespace

CSomBitmap::CSomBitmap(UINT_PTR source, WORD frameCount, BYTE kind)
    : frameCount_(frameCount), kind_(kind) {
    if (source <= kLargestResourceId) {
        resourceId_ = static_cast<UINT>(source);
    } else {
        path_ = reinterpret_cast<const wchar_t*>(source);
    }
}

HBITMAP CSomBitmap::Decode() {
    if (kind_ != kKindPng) return nullptr;
    if (!path_.empty()) {
        std::vector<unsigned char> bytes = ReadWholeFile(path_);
        return bytes.empty() ? nullptr : LoadPngFromMemory(bytes.data(), bytes.size());
    }
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId_), L"PNG");
    if (!resource) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(module, resource);
    return data ? LoadPngFromMemory(data, size) : nullptr;
}

void CSomBitmap::Load() {
    if (handle_ || loadAttempted_) return;
    loadAttempted_ = TRUE;
    handle_.Reset(Decode());
    BITMAP header = {};
    if (handle_ && ::GetObjectW(handle_.Get(), sizeof(header), &header)) {
        frameWidth_ = frameCount_ ? header.bmWidth / frameCount_ : 0;
        height_ = header.bmHeight < 0 ? -header.bmHeight : header.bmHeight;
        hasAlpha_ = header.bmBitsPixel == 32;
    } else {
        handle_.Reset();
        frameCount_ = 0;
        frameWidth_ = 0;
        height_ = 0;
        hasAlpha_ = 0;
    }
}

int CSomBitmap::GetFrameWidth() {
    Load();
    return frameWidth_;
}

int CSomBitmap::GetHeight() {
    Load();
    return height_;
}

BOOL CSomBitmap::HasAlpha() {
    Load();
    return hasAlpha_;
}

WORD CSomBitmap::GetFrameCount() {
    Load();
    return frameCount_;
}

BOOL CSomBitmap::IsLoaded() {
    Load();
    return handle_ ? TRUE : FALSE;
}

void CSomBitmap::Blit(HDC hdc, HDC source, int x, int y, int cx, int cy, int srcX, int srcY,
                      int srcCx, int srcCy, int frame) {
    if (cx <= 0 || cy <= 0 || srcCx <= 0 || srcCy <= 0) return;
    if (frame < 0 || frame >= frameCount_) return;
    if (srcX < 0 || srcY < 0 || srcX + srcCx > frameWidth_ || srcY + srcCy > height_) return;
    const int sourceX = frame * frameWidth_ + srcX;
    if (hasAlpha_) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(hdc, x, y, cx, cy, source, sourceX, srcY, srcCx, srcCy, blend);
    } else if (cx == srcCx && cy == srcCy) {
        ::BitBlt(hdc, x, y, cx, cy, source, sourceX, srcY, SRCCOPY);
    } else {
        POINT origin;
        ::SetStretchBltMode(hdc, HALFTONE);
        ::GetBrushOrgEx(hdc, &origin);
        ::SetBrushOrgEx(hdc, origin.x, origin.y, nullptr);
        ::StretchBlt(hdc, x, y, cx, cy, source, sourceX, srcY, srcCx, srcCy, SRCCOPY);
    }
}

void CSomBitmap::BlitWithTemporaryDC(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY,
                                     int srcCx, int srcCy, int frame) {
    Load();
    if (!handle_) return;
    CMemoryDC memory;
    if (!memory) return;
    CSelectObject select(memory.Get(), handle_.Get());
    Blit(hdc, memory.Get(), x, y, cx, cy, srcX, srcY, srcCx, srcCy, frame);
}

void CSomBitmap::DrawFrame(HDC hdc, int x, int y, int frame) {
    Load();
    if (!handle_) return;
    HDC scratch = g_SkinResources.GetScratchDC();
    if (!scratch) {
        BlitWithTemporaryDC(hdc, x, y, frameWidth_, height_, 0, 0, frameWidth_, height_, frame);
        return;
    }
    CSelectObject select(scratch, handle_.Get());
    Blit(hdc, scratch, x, y, frameWidth_, height_, 0, 0, frameWidth_, height_, frame);
}

void CSomBitmap::DrawFramePart(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY,
                               int frame) {
    BlitWithTemporaryDC(hdc, x, y, cx, cy, srcX, srcY, cx, cy, frame);
}

void CSomBitmap::DrawFramePartStretched(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY,
                                        int srcCx, int srcCy, int frame) {
    BlitWithTemporaryDC(hdc, x, y, cx, cy, srcX, srcY, srcCx, srcCy, frame);
}

void CSomBitmap::DrawStretched(HDC hdc, int x, int y, int cx, int cy, int frame) {
    Load();
    BlitWithTemporaryDC(hdc, x, y, cx, cy, 0, 0, frameWidth_, height_, frame);
}

void CSomBitmap::DrawHStretched(HDC hdc, int x, int y, int cx, int frame) {
    Load();
    BlitWithTemporaryDC(hdc, x, y, cx, height_, 0, 0, frameWidth_, height_, frame);
}
