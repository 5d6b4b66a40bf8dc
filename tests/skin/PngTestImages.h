#pragma once
// Small PNG images made in the tests (libpng's writer), and the broken variants of a good
// image that a decoder must refuse. Portable.

#include <cstdint>
#include <string>
#include <vector>

namespace skintest {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
    uint32_t width = 1;
    uint32_t height = 1;
    int colourType = 6;  // PNG_COLOR_TYPE_RGB_ALPHA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> samples;       // packed rows as libpng expects them (no filter byte)
    std::vector<uint8_t> palette;       // RGB triples for palette images
    std::vector<uint8_t> transparency;  // tRNS bytes (palette alphas, or a grey/RGB key)
};

Bytes EncodePng(const PngSpec& spec);
// An 8-bit RGBA image from 0xAARRGGBB pixels, row by row.
Bytes EncodeRgba(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb);
// An 8-bit RGB image (no alpha) from 0x00RRGGBB pixels.
Bytes EncodeRgb(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgb);

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix);

// Rewrites a chunk's CRC after its data was changed. `offset` is the chunk's start (length).
void FixChunkCrc(Bytes& png, size_t offset);
// Offset of the first chunk of that type, or npos.
size_t FindChunk(const Bytes& png, const char type[4]);

struct BrokenPng {
    std::string name;
    Bytes bytes;
};
// Corruptions in the manner of the PNG suite's x-files, made from a good image: signature
// bytes, checksums, header fields, missing image data, CR/LF mangling, bad chunk lengths.
std::vector<BrokenPng> MakeBrokenVariants(const Bytes& good);

}  // namespace skintest
