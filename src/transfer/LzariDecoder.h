#pragma once
// The LZARI decoder for the modules the program carries in its resources. The stored form
// is a 4-byte little-endian decoded size followed by the arithmetic-coded bit stream.
//
// The decoder trusts nothing in the stream: any input, however damaged, decodes into at most
// the declared number of bytes without reading or writing outside the given buffers.

#include <cstddef>
#include <cstdint>

namespace lzari {

// The decoded size the header declares; false when there is no complete header.
bool ReadDecodedSize(const uint8_t* stored, size_t storedLength, uint32_t* decodedSize);

enum class DecodeResult {
    kOk,
    kNoHeader,  // fewer than 4 bytes
    kTooLarge,  // the header declares more than the output buffer holds
};

// Decodes `stored` into `out`, which holds `capacity` bytes. On kOk, `*produced` is the
// declared size; a damaged stream still yields that many (wrong) bytes.
DecodeResult Decode(const uint8_t* stored, size_t storedLength, uint8_t* out, size_t capacity,
                    size_t* produced);

}  // namespace lzari
