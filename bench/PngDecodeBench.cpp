// Decode speed of the skin's PNG decoder against libpng's own simplified reader (which
// decodes to the same 8-bit BGRA, without premultiplying), image by image.
//   skin_png_bench <folder of PNGs> [rounds]

#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/PngDecoder.h"
#include "skin/PngTestImages.h"

namespace {

class CVectorTarget : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& layout) override {
        pixels.resize(layout.stride * layout.height);
        return pixels.data();
    }
    std::vector<uint8_t> pixels;
};

bool ReferenceDecode(const skintest::Bytes& png) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

template <class F>
double MicrosecondsPerRound(int rounds, F decode) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) decode();
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [rounds]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;
    double oursTotal = 0, referenceTotal = 0;
    std::printf("%-10s %10s %12s %12s\n", "image", "pixels", "ours us", "libpng us");
    for (const std::string& name : skintest::ListFiles(dir, ".png")) {
        const skintest::Bytes png = skintest::ReadFileBytes(dir + "/" + name);
        CVectorTarget target;
        if (!DecodePng(png.data(), png.size(), target)) continue;
        const double ours = MicrosecondsPerRound(rounds, [&] {
            CVectorTarget t;
            DecodePng(png.data(), png.size(), t);
        });
        const double reference = MicrosecondsPerRound(rounds, [&] { ReferenceDecode(png); });
        oursTotal += ours;
        referenceTotal += reference;
        std::printf("%-10s %10zu %12.1f %12.1f\n", name.c_str(), target.pixels.size() / 4, ours,
                    reference);
    }
    std::printf("%-10s %10s %12.1f %12.1f  (whole skin, one decode each)\n", "total", "", oursTotal,
                referenceTotal);
    return 0;
}
