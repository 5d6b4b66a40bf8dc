#pragma once
// CRC-32 (IEEE 802.3, reflected, as zlib computes it) for the engine's progress record.

#include <cstddef>
#include <cstdint>

namespace vexa::engine {

// Continues a running CRC: pass 0 to start, then the previous result.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace vexa::engine
