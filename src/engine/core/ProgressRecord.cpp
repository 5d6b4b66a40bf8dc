#include "engine/core/ProgressRecord.h"

#include <cstring>

#include "engine/core/Crc32.h"

namespace vexa::engine {
namespace {

const char kMagic[8] = {'V', 'X', 'P', '2', 'P', 'R', 'E', 'C'};
const uint32_t kVersion = 1;
const size_t kFixedHead = 32;
const uint32_t kMaxText = 8192;

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put64(std::vector<uint8_t>& v, uint64_t x) {
    for (int i = 0; i < 8; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
uint32_t Get32(const uint8_t* p) {
    uint32_t x = 0;
    for (int i = 3; i >= 0; --i) x = (x << 8) | p[i];
    return x;
}
uint64_t Get64(const uint8_t* p) {
    uint64_t x = 0;
    for (int i = 7; i >= 0; --i) x = (x << 8) | p[i];
    return x;
}

}  // namespace

uint64_t ProgressRecord::BlockCount() const {
    return blockSize == 0 ? 0 : (totalSize + blockSize - 1) / blockSize;
}

bool ProgressRecord::IsDone(uint64_t block) const {
    return block / 8 < doneBits.size() && (doneBits[block / 8] >> (block % 8)) & 1;
}

void ProgressRecord::SetDone(uint64_t block) {
    if (block / 8 < doneBits.size()) doneBits[block / 8] |= static_cast<uint8_t>(1u << (block % 8));
}

uint64_t ProgressRecord::DoneBytes() const {
    uint64_t bytes = 0, blocks = BlockCount();
    for (uint64_t b = 0; b < blocks; ++b) {
        if (!IsDone(b)) continue;
        uint64_t start = b * blockSize;
        bytes += (totalSize - start < blockSize) ? totalSize - start : blockSize;
    }
    return bytes;
}

std::vector<uint8_t> SerializeRecord(const ProgressRecord& r) {
    std::vector<uint8_t> v(kMagic, kMagic + 8);
    Put32(v, kVersion);
    Put32(v, r.blockSize);
    Put64(v, r.totalSize);
    Put32(v, static_cast<uint32_t>(r.validator.size()));
    Put32(v, static_cast<uint32_t>(r.link.size()));
    v.insert(v.end(), r.validator.begin(), r.validator.end());
    v.insert(v.end(), r.link.begin(), r.link.end());
    std::vector<uint8_t> bits = r.doneBits;
    bits.resize((r.BlockCount() + 7) / 8, 0);
    v.insert(v.end(), bits.begin(), bits.end());
    Put32(v, Crc32(0, v.data(), v.size()));
    return v;
}

bool ParseRecord(const uint8_t* data, size_t size, ProgressRecord& out) {
    if (size < kFixedHead + 4 || std::memcmp(data, kMagic, 8) != 0) return false;
    if (Get32(data + 8) != kVersion) return false;
    if (Crc32(0, data, size - 4) != Get32(data + size - 4)) return false;
    ProgressRecord r;
    r.blockSize = Get32(data + 12);
    r.totalSize = Get64(data + 16);
    uint32_t vlen = Get32(data + 24), ulen = Get32(data + 28);
    if (r.blockSize == 0 || vlen > kMaxText || ulen > kMaxText) return false;
    uint64_t bitBytes = (r.BlockCount() + 7) / 8;
    if (static_cast<uint64_t>(size) != kFixedHead + vlen + ulen + bitBytes + 4) return false;
    const uint8_t* p = data + kFixedHead;
    r.validator.assign(reinterpret_cast<const char*>(p), vlen);
    r.link.assign(reinterpret_cast<const char*>(p + vlen), ulen);
    r.doneBits.assign(p + vlen + ulen, p + vlen + ulen + bitBytes);
    out = std::move(r);
    return true;
}

}  // namespace vexa::engine
