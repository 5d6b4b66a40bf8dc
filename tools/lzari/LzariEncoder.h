#pragma once
// The LZARI encoder of the build: LZSS over a 4096-byte ring (matches found with binary
// search trees, one per first byte) feeding the arithmetic coder. Its output is what the
// program's decoder reads from the module resources.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzari {

// The stored form of `data`: 4-byte little-endian size, then the coded stream.
std::vector<uint8_t> Encode(const uint8_t* data, size_t size);

}  // namespace lzari
