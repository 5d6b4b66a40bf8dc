// Feeds arbitrary bytes to the LZARI decoder with an output buffer of four times the input,
// as the module extraction does. The sanitizers report any access outside the buffers.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "transfer/LzariDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t capacity = size * 4;
    std::unique_ptr<uint8_t[]> out(new uint8_t[capacity]);
    size_t produced = 0;
    lzari::Decode(data, size, out.get(), capacity, &produced);
    return 0;
}
