// lzari_pack: the build's LZARI tool.
//   lzari_pack pack INPUT OUTPUT     compress a module into the stored resource form
//   lzari_pack unpack INPUT OUTPUT   decode a stored resource (round-trip checks)
//
// The program decodes a resource into a buffer of four times its stored size, so a file
// that compresses better than that is padded with zeros after the stream (which the decoder
// never reaches). Every packed file is decoded again and compared before it is written.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "LzariEncoder.h"
#include "transfer/LzariDecoder.h"

namespace {

constexpr size_t kReaderBufferFactor = 4;

bool ReadFile(const char* path, std::vector<uint8_t>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
    std::string temp = std::string(path) + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool DecodeAll(const std::vector<uint8_t>& stored, std::vector<uint8_t>* decoded) {
    uint32_t size = 0;
    if (!lzari::ReadDecodedSize(stored.data(), stored.size(), &size)) return false;
    decoded->assign(size, 0);
    size_t produced = 0;
    return lzari::Decode(stored.data(), stored.size(), decoded->data(), decoded->size(),
                         &produced) == lzari::DecodeResult::kOk &&
           produced == size;
}

int Pack(const char* inPath, const char* outPath) {
    std::vector<uint8_t> input;
    if (!ReadFile(inPath, &input)) {
        std::fprintf(stderr, "lzari_pack: cannot read %s\n", inPath);
        return 1;
    }
    if (input.size() > 0xFFFFFFFFu) {
        std::fprintf(stderr, "lzari_pack: %s is larger than 4 GiB\n", inPath);
        return 1;
    }
    std::vector<uint8_t> stored = lzari::Encode(input.data(), input.size());
    size_t minimum = (input.size() + kReaderBufferFactor - 1) / kReaderBufferFactor;
    if (stored.size() < minimum) stored.resize(minimum, 0);

    std::vector<uint8_t> check;
    if (!DecodeAll(stored, &check) || check != input) {
        std::fprintf(stderr, "lzari_pack: round trip of %s failed\n", inPath);
        return 1;
    }
    if (!WriteFile(outPath, stored)) {
        std::fprintf(stderr, "lzari_pack: cannot write %s\n", outPath);
        return 1;
    }
    std::printf("lzari_pack: %s: %zu -> %zu bytes\n", inPath, input.size(), stored.size());
    return 0;
}

int Unpack(const char* inPath, const char* outPath) {
    std::vector<uint8_t> stored, decoded;
    if (!ReadFile(inPath, &stored)) {
        std::fprintf(stderr, "lzari_pack: cannot read %s\n", inPath);
        return 1;
    }
    if (!DecodeAll(stored, &decoded)) {
        std::fprintf(stderr, "lzari_pack: %s is not a stored LZARI resource\n", inPath);
        return 1;
    }
    if (!WriteFile(outPath, decoded)) {
        std::fprintf(stderr, "lzari_pack: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) return Pack(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "unpack") == 0) return Unpack(argv[2], argv[3]);
    std::fprintf(stderr, "usage: lzari_pack pack|unpack INPUT OUTPUT\n");
    return 2;
}
