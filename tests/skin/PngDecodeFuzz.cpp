// Fuzzes the PNG decoder with arbitrary bytes: it must fail cleanly or give a sane image.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skin/PngDecoder.h"

namespace {
class CVectorTarget : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& layout) override {
        if (layout.stride * layout.height > 16u * 1024 * 1024) std::abort();
        pixels.resize(layout.stride * layout.height);
        return pixels.data();
    }
    std::vector<uint8_t> pixels;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CVectorTarget target;
    PngLimits limits;
    limits.maxSide = 2048;
    limits.maxPixelBytes = 16u * 1024 * 1024;
    DecodePng(data, size, target, limits);
    return 0;
}
