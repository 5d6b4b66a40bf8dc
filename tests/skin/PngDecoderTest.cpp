// The portable PNG decoder: the PNG suite from libpng's source, images made here with known
// pixels, broken and hostile images. Runs on the host under AddressSanitizer and UBSan.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "skin/PngDecoder.h"
#include "skin/PngTestImages.h"

using namespace skintest;

namespace {

class CBufferTarget : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& l) override {
        ++allocations;
        layout = l;
        pixels.assign(l.stride * l.height, 0xCD);
        return pixels.data();
    }
    // B, G, R, A (A = 255 for 3-channel images).
    std::array<uint8_t, 4> At(uint32_t x, uint32_t y) const {
        const uint8_t* p = &pixels[y * layout.stride + x * layout.channels];
        return {p[0], p[1], p[2], layout.channels == 4 ? p[3] : uint8_t(255)};
    }

    int allocations = 0;
    PngImageLayout layout;
    std::vector<uint8_t> pixels;
};

std::string SuiteDir() {
    const char* dir = std::getenv("VEXA_PNGSUITE_DIR");
    return dir && *dir ? dir : VEXA_PNGSUITE_DIR;
}

int Decode(const Bytes& bytes, CBufferTarget& target, const PngLimits& limits = PngLimits()) {
    return DecodePng(bytes.data(), bytes.size(), target, limits);
}

using Pixel = std::array<uint8_t, 4>;

TEST(PngSuite, EveryValidImageDecodesToItsSize) {
    const std::string dir = SuiteDir();
    std::vector<std::string> names = ListFiles(dir, ".png");
    for (const std::string& name : ListFiles(dir + "/interlaced", ".png")) {
        names.push_back("interlaced/" + name);
    }
    ASSERT_GE(names.size(), 50u) << "PNG suite missing at " << dir;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_NE(name[0], 'x');
        CBufferTarget target;
        ASSERT_EQ(Decode(ReadFileBytes(dir + "/" + name), target), 1);
        EXPECT_EQ(target.layout.width, 32u);
        EXPECT_EQ(target.layout.height, 32u);
        EXPECT_EQ(target.layout.stride % 4, 0u);
        // Transparency (an alpha channel or tRNS) gives four channels, anything else three.
        const bool transparent =
            name.find("a08") != std::string::npos || name.find("a16") != std::string::npos ||
            name.find("ftb") != std::string::npos || name.find("ftp1") != std::string::npos;
        EXPECT_EQ(target.layout.channels, transparent ? 4 : 3);
    }
}

TEST(PngSuite, InterlacedAndPlainImagesGiveTheSamePixels) {
    const std::string dir = SuiteDir();
    for (const char* name : {"basn0g08", "basn2c08", "basn3p08", "basn4a08", "basn6a16"}) {
        SCOPED_TRACE(name);
        CBufferTarget plain, interlaced;
        ASSERT_EQ(Decode(ReadFileBytes(dir + "/" + name + ".png"), plain), 1);
        ASSERT_EQ(Decode(ReadFileBytes(dir + "/i" + name + ".png"), interlaced), 1);
        EXPECT_EQ(plain.pixels, interlaced.pixels);
    }
}

TEST(PngSuite, KnownCrashersFailCleanly) {
    const std::string dir = SuiteDir() + "/crashers";
    std::vector<std::string> names = ListFiles(dir, ".png");
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        CBufferTarget target;
        // Only the image with empty (but well-formed) ancillary chunks is a real image.
        EXPECT_EQ(Decode(ReadFileBytes(dir + "/" + name), target),
                  name == "empty_ancillary_chunks.png" ? 1 : 0);
    }
}

TEST(PngDecoder, PremultipliesAlphaTruncating) {
    CBufferTarget target;
    ASSERT_EQ(Decode(EncodeRgba(3, 1, {0x80C86432, 0xFFC86432, 0x00FFFFFF}), target), 1);
    EXPECT_EQ(target.layout.channels, 4);
    EXPECT_EQ(target.At(0, 0), (Pixel{25, 50, 100, 128}));  // (200, 100, 50) at 128
    EXPECT_EQ(target.At(1, 0), (Pixel{50, 100, 200, 255}));
    EXPECT_EQ(target.At(2, 0), (Pixel{0, 0, 0, 0}));
}

TEST(PngDecoder, OpaqueImagesStayThreeChannelBgrWithPaddedRows) {
    CBufferTarget target;
    ASSERT_EQ(
        Decode(EncodeRgb(5, 2, {0x102030, 0x405060, 0, 0, 0xFFFFFF, 1, 2, 3, 4, 0xABCDEF}), target),
        1);
    EXPECT_EQ(target.layout.channels, 3);
    EXPECT_EQ(target.layout.stride, 16u);  // 15 rounded up to 16
    EXPECT_EQ(target.At(0, 0), (Pixel{0x30, 0x20, 0x10, 255}));
    EXPECT_EQ(target.At(4, 1), (Pixel{0xEF, 0xCD, 0xAB, 255}));
}

TEST(PngDecoder, ExpandsGreyPaletteTransparencyAndSixteenBits) {
    {
        PngSpec grey;  // 1-bit grey: 1 0 1 0
        grey.width = 4;
        grey.colourType = 0;
        grey.bitDepth = 1;
        grey.samples = {0xA0};
        CBufferTarget target;
        ASSERT_EQ(Decode(EncodePng(grey), target), 1);
        EXPECT_EQ(target.At(0, 0), (Pixel{255, 255, 255, 255}));
        EXPECT_EQ(target.At(1, 0), (Pixel{0, 0, 0, 255}));
    }
    {
        PngSpec palette;  // 2-bit palette, entry 1 half transparent
        palette.width = 2;
        palette.colourType = 3;
        palette.bitDepth = 2;
        palette.palette = {255, 0, 0, 0, 0, 200};
        palette.transparency = {255, 128};
        palette.samples = {0x10};  // indices 0, 1
        CBufferTarget target;
        ASSERT_EQ(Decode(EncodePng(palette), target), 1);
        EXPECT_EQ(target.layout.channels, 4);
        EXPECT_EQ(target.At(0, 0), (Pixel{0, 0, 255, 255}));
        EXPECT_EQ(target.At(1, 0), (Pixel{100, 0, 0, 128}));
    }
    {
        PngSpec rgb16;  // 16-bit samples keep their high byte
        rgb16.colourType = 2;
        rgb16.bitDepth = 16;
        rgb16.samples = {0x12, 0xFF, 0x34, 0x00, 0x56, 0x80};
        CBufferTarget target;
        ASSERT_EQ(Decode(EncodePng(rgb16), target), 1);
        EXPECT_EQ(target.At(0, 0), (Pixel{0x56, 0x34, 0x12, 255}));
    }
}

TEST(PngDecoder, BrokenVariantsAreRefused) {
    PngSpec spec;
    spec.width = 32;
    spec.height = 32;
    spec.colourType = 2;
    for (int i = 0; i < 32 * 32 * 3; ++i) spec.samples.push_back(uint8_t(i * 7));
    const Bytes good = EncodePng(spec);
    CBufferTarget control;
    ASSERT_EQ(Decode(good, control), 1);
    for (const BrokenPng& broken : MakeBrokenVariants(good)) {
        SCOPED_TRACE(broken.name);
        CBufferTarget target;
        EXPECT_EQ(Decode(broken.bytes, target), 0);
    }
}

TEST(PngDecoder, EveryTruncationIsRefused) {
    const Bytes good = EncodeRgba(7, 5, std::vector<uint32_t>(35, 0x80102030));
    for (size_t length = 0; length < good.size(); ++length) {
        SCOPED_TRACE(length);
        Bytes cut(good.begin(), good.begin() + length);
        CBufferTarget target;
        EXPECT_EQ(Decode(cut, target), 0);
    }
    CBufferTarget target;
    EXPECT_EQ(DecodePng(nullptr, 0, target), 0);
}

TEST(PngDecoder, HugeDimensionsAreRefusedBeforeAnyAllocation) {
    const Bytes small = EncodeRgba(1, 1, {0xFF000000});
    const size_t ihdr = FindChunk(small, "IHDR");
    auto withSize = [&](uint32_t width, uint32_t height) {
        Bytes b = small;
        for (int i = 0; i < 4; ++i) {
            b[ihdr + 8 + i] = uint8_t(width >> (24 - 8 * i));
            b[ihdr + 12 + i] = uint8_t(height >> (24 - 8 * i));
        }
        FixChunkCrc(b, ihdr);
        return b;
    };
    for (auto size : {std::pair<uint32_t, uint32_t>{0x7FFFFFFF, 0x7FFFFFFF},
                      {100000, 1},
                      {1, 100000},
                      {8192, 8192},  // each side allowed, but 256 MiB of pixels
                      {5000, 4000}}) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
        CBufferTarget target;
        EXPECT_EQ(Decode(withSize(size.first, size.second), target), 0);
        EXPECT_EQ(target.allocations, 0);
    }
    // Tighter limits apply the same way.
    PngLimits tight;
    tight.maxSide = 16;
    CBufferTarget target;
    EXPECT_EQ(Decode(EncodeRgba(17, 1, std::vector<uint32_t>(17, 0)), target, tight), 0);
    EXPECT_EQ(target.allocations, 0);
    EXPECT_EQ(Decode(EncodeRgba(16, 16, std::vector<uint32_t>(256, 0)), target, tight), 1);
}

TEST(PngDecoder, ATargetThatCannotAllocateFailsTheDecode) {
    struct CRefusingTarget : IPngPixelTarget {
        uint8_t* Allocate(const PngImageLayout&) override { return nullptr; }
    } refusing;
    const Bytes good = EncodeRgba(2, 2, {0, 0, 0, 0});
    EXPECT_EQ(DecodePng(good.data(), good.size(), refusing), 0);
}

}  // namespace
