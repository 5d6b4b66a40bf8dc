#include "skin/PngTestImages.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

namespace skintest {

namespace {

void WriteToVector(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

uint32_t ReadBe32(const Bytes& b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) |
           b[at + 3];
}
void WriteBe32(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
}

}  // namespace

Bytes EncodePng(const PngSpec& spec) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, WriteToVector, FlushNothing);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < spec.palette.size(); i += 3) {
        palette.push_back({spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    }
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    png_color_16 key = {};
    if (!spec.transparency.empty()) {
        if (spec.colourType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec.transparency.data(), int(spec.transparency.size()),
                         nullptr);
        } else {
            key.gray = spec.transparency[0];
            key.red = spec.transparency[0];
            key.green = spec.transparency.size() > 1 ? spec.transparency[1] : 0;
            key.blue = spec.transparency.size() > 2 ? spec.transparency[2] : 0;
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(spec.height);
    Bytes samples = spec.samples;
    samples.resize(rowBytes * spec.height);
    for (uint32_t y = 0; y < spec.height; ++y) rows[y] = samples.data() + y * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeRgba(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb) {
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t p : argb) {
        spec.samples.insert(spec.samples.end(),
                            {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
    return EncodePng(spec);
}

Bytes EncodeRgb(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgb) {
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = PNG_COLOR_TYPE_RGB;
    for (uint32_t p : rgb) {
        spec.samples.insert(spec.samples.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    }
    return EncodePng(spec);
}

Bytes ReadFileBytes(const std::string& path) {
    Bytes bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((dir + "/*" + suffix).c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(data.cFileName);
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
#else
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                names.push_back(name);
            }
        }
        closedir(d);
    }
#endif
    std::sort(names.begin(), names.end());
    return names;
}

size_t FindChunk(const Bytes& png, const char type[4]) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        at += 12 + ReadBe32(png, at);
    }
    return std::string::npos;
}

void FixChunkCrc(Bytes& png, size_t offset) {
    const uint32_t length = ReadBe32(png, offset);
    uLong crc = crc32(0, &png[offset + 4], 4 + length);
    WriteBe32(png, offset + 8 + length, uint32_t(crc));
}

std::vector<BrokenPng> MakeBrokenVariants(const Bytes& good) {
    std::vector<BrokenPng> out;
    auto add = [&](const std::string& name, Bytes bytes) {
        out.push_back({name, std::move(bytes)});
    };
    const size_t ihdr = FindChunk(good, "IHDR");
    const size_t idat = FindChunk(good, "IDAT");

    auto signature = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    add("xs1 signature byte 1 MSB reset", signature(0, 0x09));
    add("xs2 signature byte 2 is Q", signature(1, 'Q'));
    add("xs4 signature byte 4 lower case", signature(3, 'g'));
    add("xs7 signature byte 7 is a space", signature(6, ' '));

    // DOS and Unix line ending damage to the signature and everything after it.
    Bytes crlf;
    for (uint8_t c : good) {
        if (c == '\n') crlf.push_back('\r');
        crlf.push_back(c);
    }
    add("xcr added CR bytes", crlf);
    Bytes lf;
    for (size_t i = 0; i < good.size(); ++i) {
        if (good[i] == '\r' && i + 1 < good.size() && good[i + 1] == '\n') continue;
        lf.push_back(good[i]);
    }
    add("xlf CR LF turned into LF", lf);

    auto header = [&](size_t field, uint8_t value, bool fixCrc) {
        Bytes b = good;
        b[ihdr + 8 + field] = value;
        if (fixCrc) FixChunkCrc(b, ihdr);
        return b;
    };
    add("xhd wrong header checksum", header(8, uint8_t(good[ihdr + 16] + 1), false));
    add("xc1 colour type 1", header(9, 1, true));
    add("xc9 colour type 9", header(9, 9, true));
    add("xd0 bit depth 0", header(8, 0, true));
    add("xd3 bit depth 3", header(8, 3, true));
    add("xd9 bit depth 99", header(8, 99, true));
    add("xcm compression method 1", header(10, 1, true));
    add("xfm filter method 1", header(11, 1, true));
    add("xim interlace method 2", header(12, 2, true));
    {
        Bytes b = good;
        WriteBe32(b, ihdr + 8, 0);
        FixChunkCrc(b, ihdr);
        add("xw0 width 0", b);
    }
    {
        Bytes b = good;
        b[idat + 8] ^= 0x55;  // first byte of the image data
        add("xcs wrong image data checksum", b);
    }
    {
        Bytes b = good;
        b.erase(b.begin() + idat, b.begin() + idat + 12 + ReadBe32(good, idat));
        add("xdt missing image data", b);
    }
    {
        Bytes b = good;
        WriteBe32(b, idat, 0x7FFFFFF0u);  // a chunk length far past the end
        add("xln chunk length past the end", b);
    }
    {
        // Image data whose zlib stream is damaged but whose chunk checksum is right.
        Bytes b = good;
        const uint32_t length = ReadBe32(good, idat);
        for (uint32_t i = 2; i < length; ++i) b[idat + 8 + i] = uint8_t(0xA5 + i);
        FixChunkCrc(b, idat);
        add("xzl damaged compressed data", b);
    }
    {
        // Image data cut short: a valid stream that ends before the last row.
        Bytes b = good;
        const uint32_t length = ReadBe32(good, idat);
        const uint32_t cut = length / 2;
        b.erase(b.begin() + idat + 8 + cut, b.begin() + idat + 8 + length);
        WriteBe32(b, idat, cut);
        FixChunkCrc(b, idat);
        add("xsh image data cut short", b);
    }
    return out;
}

}  // namespace skintest
