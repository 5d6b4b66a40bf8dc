#pragma once
// PNG decoding for the skin: any PNG becomes 8-bit BGR or premultiplied BGRA rows, top-down,
// each row padded to four bytes (the layout of a Windows DIB section). Portable: the caller
// says where the pixels go, so the Windows side decodes straight into a DIB section and the
// host build tests and fuzzes the same code.
//
// The image is never trusted (the skin image comes over plain HTTP): every libpng error,
// a truncated or corrupt stream, a bad checksum or an oversized image fails cleanly, and the
// image's size is checked against the limits before anything is allocated for its pixels.

#include <cstddef>
#include <cstdint>

struct PngImageLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0;   // 3 (BGR) or 4 (premultiplied BGRA)
    size_t stride = 0;  // bytes per row: channels * width rounded up to a multiple of 4
};

struct PngLimits {
    uint32_t maxSide = 8192;                   // width and height each
    size_t maxPixelBytes = 64u * 1024 * 1024;  // stride * height
    size_t maxChunkBytes = 4u * 1024 * 1024;   // any ancillary chunk libpng keeps in memory
};

// Where decoded rows go. Allocate is called at most once, after the header has passed the
// limits; it returns stride * height writable bytes, or null to give up. On failure after
// Allocate the target still owns (and must free) what it handed out.
class IPngPixelTarget {
public:
    virtual uint8_t* Allocate(const PngImageLayout& layout) = 0;

protected:
    ~IPngPixelTarget() = default;
};

// 1 on success (the target holds the image), 0 on any failure.
int DecodePng(const uint8_t* data, size_t size, IPngPixelTarget& target,
              const PngLimits& limits = PngLimits());

// Multiplies B, G and R of each BGRA pixel by its alpha / 255 (truncating), in place.
void PremultiplyBgraRows(uint8_t* pixels, const PngImageLayout& layout);
