#pragma once
// The progress record kept beside a partial file: which blocks of the partial file hold
// data known to be on disk, for which version of which file. It carries its own checksum
// so a torn or damaged record is recognised and thrown away rather than trusted.
//
// Layout (little-endian):
//   0  8  magic "VXP2PREC"
//   8  4  format version (1)
//  12  4  block size in bytes
//  16  8  total size of the file in bytes
//  24  4  length L of the validator text (ETag or Last-Modified, may be 0)
//  28  4  length U of the origin link
//  32  L  validator text, then U bytes of the link
//  ..  N  done-block bitmap, bit i of byte i/8 (LSB first) = block i is complete,
//         N = ceil(blocks / 8) with blocks = ceil(total / block size)
//  ..  4  CRC-32 of every byte before it

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::engine {

struct ProgressRecord {
    uint32_t blockSize = 0;
    uint64_t totalSize = 0;
    std::string validator;
    std::string link;
    std::vector<uint8_t> doneBits;

    uint64_t BlockCount() const;
    bool IsDone(uint64_t block) const;
    void SetDone(uint64_t block);
    uint64_t DoneBytes() const;
};

std::vector<uint8_t> SerializeRecord(const ProgressRecord& record);

// False for anything damaged: wrong magic or version, sizes that do not add up, bad CRC.
bool ParseRecord(const uint8_t* data, size_t size, ProgressRecord& out);

}  // namespace vexa::engine
