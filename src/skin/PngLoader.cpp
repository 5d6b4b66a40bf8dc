#include "skin/PngLoader.h"

#include "base/GdiHandles.h"
#include "skin/PngDecoder.h"

namespace {

// Hands the decoder the bits of a new DIB section and keeps the section until released.
class CDibSectionTarget : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& layout) override {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = static_cast<LONG>(layout.width);
        info.bmiHeader.biHeight = -static_cast<LONG>(layout.height);  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(layout.channels * 8);
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        return dib_ ? static_cast<uint8_t*>(bits) : nullptr;
    }
    HBITMAP Release() { return dib_.Release(); }

private:
    CBitmapHandle dib_;
};

}  // namespace

HBITMAP LoadPngFromMemory(const void* data, size_t size) {
    CDibSectionTarget target;
    if (!DecodePng(static_cast<const uint8_t*>(data), size, target)) return nullptr;
    ::GdiFlush();
    return target.Release();
}
