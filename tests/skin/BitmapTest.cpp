// Skin bitmaps under Wine: decoding into DIB sections, premultiplied alpha drawing, frames,
// nine-part drawing, no reload after a failure, the shared set and the font table.

#include <gtest/gtest.h>

#include "skin/PngLoader.h"
#include "skin/PngTestImages.h"
#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinResourcesInstance.h"
#include "skin/SkinTestSupport.h"
#include "skin/SomBitmap9Part.h"

using namespace skintest;

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Writes the PNG to a temporary file and returns its path.
std::wstring TempPng(const char* name, const Bytes& png) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"vexa-skin-" + Widen(name) + L".png";
    FILE* file = ::_wfopen(path.c_str(), L"wb");
    if (file) {
        std::fwrite(png.data(), 1, png.size(), file);
        std::fclose(file);
    }
    return path;
}

UINT_PTR Source(const std::wstring& path) { return reinterpret_cast<UINT_PTR>(path.c_str()); }

// Draws one frame at the top left of the target, after filling the target with `background`.
void DrawFrameOver(CSomBitmap& bitmap, int frame, CPixels& target, COLORREF background) {
    target.Fill(background);
    bitmap.DrawFrame(target.DC(), 0, 0, frame);
    ::GdiFlush();
}

BITMAP Header(HBITMAP bitmap) {
    BITMAP header = {};
    ::GetObjectW(bitmap, sizeof(header), &header);
    return header;
}

TEST(PngLoader, DecodesTheSuiteIntoDibSections) {
    const std::string dir = VEXA_PNGSUITE_DIR;
    for (const char* name :
         {"basn0g01", "basn2c08", "basn3p04", "basn4a16", "basn6a08", "ftbwn3p08", "ibasn6a16"}) {
        SCOPED_TRACE(name);
        Bytes png = ReadFileBytes(dir + "/" + name + ".png");
        ASSERT_FALSE(png.empty());
        CBitmapHandle bitmap(LoadPngFromMemory(png.data(), png.size()));
        ASSERT_TRUE(bitmap);
        BITMAP header = Header(bitmap.Get());
        EXPECT_EQ(header.bmWidth, 32);
        EXPECT_EQ(header.bmHeight, 32);
        const std::string n = name;
        const bool alpha = n.find("a08") != std::string::npos ||
                           n.find("a16") != std::string::npos || n.find("ftb") == 0;
        EXPECT_EQ(header.bmBitsPixel, alpha ? 32 : 24);
        EXPECT_NE(header.bmBits, nullptr);  // a DIB section
    }
    Bytes bad = ReadFileBytes(dir + "/basn2c08.png");
    bad[40] ^= 0xFF;
    EXPECT_EQ(LoadPngFromMemory(bad.data(), bad.size()), nullptr);
    EXPECT_EQ(LoadPngFromMemory(bad.data(), 7), nullptr);
}

TEST(SomBitmap, AlphaIsPremultipliedAndBlended) {
    std::wstring path = TempPng("alpha", EncodeRgba(2, 1, {0x80C86432, 0x00FFFFFF}));
    CSomBitmap bitmap(Source(path), 1);
    ASSERT_TRUE(bitmap.HasAlpha());
    CPixels target(4, 1);
    DrawFrameOver(bitmap, 0, target, RGB(0, 0, 0));
    EXPECT_EQ(target.At(0, 0), RGB(100, 50, 25));
    EXPECT_EQ(target.At(1, 0), RGB(0, 0, 0));  // fully transparent: the target shows

    DrawFrameOver(bitmap, 0, target, RGB(0, 0, 200));
    COLORREF blended = target.At(0, 0);  // 25 + 200 * (255 - 128) / 255, rounded either way
    EXPECT_EQ(blended & 0xFFFF, RGB(100, 50, 0));
    EXPECT_NEAR(GetBValue(blended), 25 + 200 * 127 / 255, 1);
    EXPECT_EQ(target.At(1, 0), RGB(0, 0, 200));
}

TEST(SomBitmap, OpaqueImagesAreCopiedAndStretched) {
    std::wstring path = TempPng("opaque", EncodeRgb(2, 1, {0x112233, 0x445566}));
    CSomBitmap bitmap(Source(path), 1);
    EXPECT_FALSE(bitmap.HasAlpha());
    CPixels target(8, 2);
    DrawFrameOver(bitmap, 0, target, RGB(255, 0, 0));
    bitmap.DrawStretched(target.DC(), 2, 0, 4, 2, 0);
    ::GdiFlush();
    EXPECT_EQ(target.At(0, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(target.At(1, 0), RGB(0x44, 0x55, 0x66));
    EXPECT_EQ(target.At(0, 1), RGB(255, 0, 0));
    EXPECT_EQ(target.At(2, 1), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(target.At(5, 1), RGB(0x44, 0x55, 0x66));
    EXPECT_EQ(target.At(6, 0), RGB(255, 0, 0));
}

TEST(SomBitmap, FramesAreEqualStripsAndTheWidthTruncates) {
    std::vector<uint32_t> strip(57);
    for (int x = 0; x < 57; ++x) strip[x] = x < 19 ? 0xFF0000 : x < 38 ? 0x00FF00 : 0x0000FF;
    std::wstring path = TempPng("strip", EncodeRgb(57, 1, strip));
    CSomBitmap bitmap(Source(path), 3);
    EXPECT_EQ(bitmap.GetFrameWidth(), 19);
    EXPECT_EQ(bitmap.GetHeight(), 1);
    CPixels target(19, 1);
    DrawFrameOver(bitmap, 2, target, RGB(1, 2, 3));
    EXPECT_EQ(target.At(0, 0), RGB(0, 0, 255));
    DrawFrameOver(bitmap, 3, target, RGB(1, 2, 3));  // no such frame: nothing drawn
    EXPECT_EQ(target.At(0, 0), RGB(1, 2, 3));
}

TEST(SomBitmap, AFailedImageIsNeverLoadedAgain) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"vexa-skin-late.png";
    ::DeleteFileW(path.c_str());
    CSomBitmap bitmap(Source(path), 1);
    EXPECT_EQ(bitmap.GetFrameWidth(), 0);
    EXPECT_EQ(bitmap.GetFrameCount(), 0);
    TempPng("late", EncodeRgb(4, 4, std::vector<uint32_t>(16, 0xFFFFFF)));
    EXPECT_EQ(bitmap.GetHeight(), 0);
    CPixels target(4, 4);
    DrawFrameOver(bitmap, 0, target, RGB(9, 9, 9));
    bitmap.DrawStretched(target.DC(), 0, 0, 4, 4, 0);
    ::GdiFlush();
    EXPECT_EQ(target.At(1, 1), RGB(9, 9, 9));

    std::wstring corrupt = TempPng("corrupt", Bytes{0x89, 'P', 'N', 'G', 0, 1, 2, 3, 4, 5});
    CSomBitmap broken(Source(corrupt), 1);
    EXPECT_FALSE(broken.IsLoaded());
    EXPECT_EQ(broken.GetFrameWidth(), 0);
}

// A 12 x 12 frame with distinct corner, edge and middle colours (grid L 3, R 9, T 3, B 9).
std::vector<uint32_t> NinePartImage() {
    std::vector<uint32_t> pixels(144);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            int column = x < 3 ? 0 : x < 9 ? 1 : 2;
            int row = y < 3 ? 0 : y < 9 ? 1 : 2;
            pixels[y * 12 + x] = 0xFF000000u | (uint32_t(row * 3 + column) * 0x1C1C1Cu + 0x100000u);
        }
    }
    return pixels;
}

TEST(SomBitmap9Part, NaturalSizeDrawsEveryPieceOneToOne) {
    std::wstring path = TempPng("ninepart", EncodeRgba(12, 12, NinePartImage()));
    CSomBitmap9Part nine(Source(path), 3, 9, 3, 9, 1);
    CSomBitmap plain(Source(path), 1);
    CPixels a(12, 12), b(12, 12);
    nine.DrawStretched(a.DC(), 0, 0, 12, 12, 0);
    plain.DrawFrame(b.DC(), 0, 0, 0);
    ::GdiFlush();
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y;
    }
}

TEST(SomBitmap9Part, StretchingKeepsCornersAndStretchesEdges) {
    std::wstring path = TempPng("ninepart2", EncodeRgba(12, 12, NinePartImage()));
    CSomBitmap9Part nine(Source(path), 3, 9, 3, 9, 1);
    CSomBitmap plain(Source(path), 1);
    CPixels frame(12, 12), big(40, 30);
    plain.DrawFrame(frame.DC(), 0, 0, 0);
    nine.DrawStretched(big.DC(), 0, 0, 40, 30, 0);
    ::GdiFlush();
    EXPECT_EQ(big.At(0, 0), frame.At(0, 0));
    EXPECT_EQ(big.At(2, 2), frame.At(2, 2));
    EXPECT_EQ(big.At(39, 29), frame.At(11, 11));
    EXPECT_EQ(big.At(37, 0), frame.At(9, 0));    // top-right corner starts at 40 - 3
    EXPECT_EQ(big.At(20, 1), frame.At(5, 1));    // top edge
    EXPECT_EQ(big.At(1, 15), frame.At(1, 5));    // left edge
    EXPECT_EQ(big.At(20, 15), frame.At(5, 5));   // middle
    EXPECT_EQ(big.At(20, 28), frame.At(5, 10));  // bottom edge
    CPixels none(4, 4);
    none.Fill(RGB(7, 7, 7));
    nine.DrawStretched(none.DC(), 0, 0, 0, 4, 0);  // nothing for an empty size
    ::GdiFlush();
    EXPECT_EQ(none.At(0, 0), RGB(7, 7, 7));
}

TEST(SharedSkin, EverySharedBitmapLoadsWithItsFrameSize) {
    struct Expected {
        UINT id;
        int frames, width, height;
    };
    const Expected table[] = {
        {101, 1, 404, 201}, {102, 3, 19, 20}, {115, 3, 19, 20}, {124, 1, 20, 19}, {116, 3, 19, 20},
        {125, 1, 404, 201}, {126, 3, 78, 30}, {127, 3, 78, 30}, {129, 3, 78, 30}, {128, 3, 78, 30},
        {130, 3, 78, 30},   {112, 1, 24, 24}, {132, 3, 78, 30}, {131, 3, 78, 30}, {134, 3, 78, 30},
        {135, 3, 78, 30},   {136, 3, 78, 30}, {137, 1, 16, 15},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.id);
        CSomBitmap* bitmap = g_SharedBitmaps.Get(e.id);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->GetFrameCount(), e.frames);
        EXPECT_EQ(bitmap->GetFrameWidth(), e.width);
        EXPECT_EQ(bitmap->GetHeight(), e.height);
        EXPECT_TRUE(bitmap->HasAlpha());
    }
    EXPECT_EQ(g_SharedBitmaps.Get(101), g_SharedBitmaps.GetPromptFrame());
    EXPECT_EQ(g_SharedBitmaps.Get(999), nullptr);
}

TEST(SharedSkin, FontTableHasSixteenFontsOfTheRightHeights) {
    const LONG heights[16] = {-11, -11, -12, -12, -13, -13, -16, -16,
                              -13, -11, -14, -14, -12, -20, -12, -28};
    for (int i = 0; i < 16; ++i) {
        LOGFONTW font = {};
        ASSERT_TRUE(::GetObjectW(g_SkinResources.Font(i), sizeof(font), &font)) << i;
        EXPECT_EQ(font.lfHeight, heights[i]) << i;
        EXPECT_STREQ(font.lfFaceName, L"微软雅黑") << i;  // Wine reports Windows 6.1
    }
    LOGFONTW font = {};
    ::GetObjectW(g_SkinResources.Font(15), sizeof(font), &font);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_EQ(font.lfWeight, 700);
    ::GetObjectW(g_SkinResources.Font(14), sizeof(font), &font);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_EQ(g_SkinResources.Font(99), g_SkinResources.Font(2));
    EXPECT_NE(g_SkinResources.GetScratchDC(), nullptr);
}

}  // namespace
