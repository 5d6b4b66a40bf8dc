#include "skin/PngDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->offset) png_error(png, "truncated image");
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
}

// libpng leaves a failed read through longjmp back to the setjmp in DecodeWithLibpng.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// Owns libpng's read and info structures.
class CPngReadStruct {
public:
    CPngReadStruct() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~CPngReadStruct() {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    }
    CPngReadStruct(const CPngReadStruct&) = delete;
    CPngReadStruct& operator=(const CPngReadStruct&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Ancillary chunks the skin never uses. libpng skips them unread instead of buffering them,
// so a chunk that claims to be huge costs nothing.
const png_byte kIgnoredChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0"
    "sRGB\0sTER\0tEXt\0tIME\0zTXt";
constexpr int kIgnoredChunkCount = 18;

void SetTransformations(png_structp png, png_infop info) {
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
}

// Checks the decoded layout against the limits; fills `layout`. Pure arithmetic on
// already-validated header values, no allocation.
bool MakeLayout(png_structp png, png_infop info, const PngLimits& limits, PngImageLayout& layout) {
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    layout.channels = png_get_channels(png, info);
    if (layout.width == 0 || layout.height == 0) return false;
    if (layout.width > limits.maxSide || layout.height > limits.maxSide) return false;
    if (png_get_bit_depth(png, info) != 8) return false;
    if (layout.channels != 3 && layout.channels != 4) return false;
    const size_t rowBytes = size_t(layout.width) * size_t(layout.channels);
    if (png_get_rowbytes(png, info) != rowBytes) return false;
    layout.stride = (rowBytes + 3) & ~size_t(3);
    return layout.stride <= limits.maxPixelBytes / layout.height;
}

// No C++ object with a destructor lives in this frame: on any error libpng comes back to the
// setjmp below by longjmp, skipping everything in between.
int DecodeWithLibpng(png_structp png, png_infop info, IPngPixelTarget& target,
                     const PngLimits& limits, MemoryReader& reader, std::vector<png_bytep>& rows,
                     PngImageLayout& layout) {
    if (setjmp(png_jmpbuf(png))) return 0;

    png_set_read_fn(png, &reader, ReadFromMemory);
    png_set_user_limits(png, limits.maxSide, limits.maxSide);
    png_set_chunk_malloc_max(png, limits.maxChunkBytes);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
    png_set_sig_bytes(png, 8);
    reader.offset = 8;

    png_read_info(png, info);
    SetTransformations(png, info);
    png_read_update_info(png, info);
    if (!MakeLayout(png, info, limits, layout)) return 0;

    uint8_t* pixels = target.Allocate(layout);
    if (!pixels) return 0;
    rows.resize(layout.height);
    for (uint32_t y = 0; y < layout.height; ++y) rows[y] = pixels + size_t(y) * layout.stride;
    png_read_image(png, rows.data());
    // The rest of the stream too: the last checksums and the end of the image.
    png_read_end(png, nullptr);
    if (layout.channels == 4) PremultiplyBgraRows(pixels, layout);
    return 1;
}

}  // namespace

void PremultiplyBgraRows(uint8_t* pixels, const PngImageLayout& layout) {
    for (uint32_t y = 0; y < layout.height; ++y) {
        uint8_t* p = pixels + size_t(y) * layout.stride;
        for (uint32_t x = 0; x < layout.width; ++x, p += 4) {
            const unsigned alpha = p[3];
            p[0] = static_cast<uint8_t>(p[0] * alpha / 255);
            p[1] = static_cast<uint8_t>(p[1] * alpha / 255);
            p[2] = static_cast<uint8_t>(p[2] * alpha / 255);
        }
    }
}

int DecodePng(const uint8_t* data, size_t size, IPngPixelTarget& target, const PngLimits& limits) {
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return 0;
    CPngReadStruct read;
    if (!read.png() || !read.info()) return 0;
    MemoryReader reader{data, size, 0};
    std::vector<png_bytep> rows;
    PngImageLayout layout;
    return DecodeWithLibpng(read.png(), read.info(), target, limits, reader, rows, layout);
}
