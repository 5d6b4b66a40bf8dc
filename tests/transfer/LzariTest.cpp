// The LZARI codec: round trips through the build's encoder, streams with chosen symbols,
// and the decoder's behaviour on damaged input (run under AddressSanitizer on the host,
// with every buffer sized exactly so that a single stray byte is caught).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LzariEncoder.h"
#include "LzariSymbolWriter.h"
#include "transfer/LzariDecoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DecodeExact(const Bytes& stored, lzari::DecodeResult* result = nullptr) {
    uint32_t size = 0;
    if (!lzari::ReadDecodedSize(stored.data(), stored.size(), &size)) return {};
    // Heap copies of exactly the right sizes: any read or write past them is reported.
    std::unique_ptr<uint8_t[]> in(new uint8_t[stored.size()]);
    std::memcpy(in.get(), stored.data(), stored.size());
    std::unique_ptr<uint8_t[]> out(new uint8_t[size == 0 ? 1 : size]);
    size_t produced = 12345;
    lzari::DecodeResult r = lzari::Decode(in.get(), stored.size(), out.get(), size, &produced);
    if (result != nullptr) *result = r;
    return Bytes(out.get(), out.get() + produced);
}

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& c : b) c = static_cast<uint8_t>(gen());
    return b;
}

// Text-like data with many repeats at all distances, as found in executables.
Bytes StructuredBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    const std::string words[] = {
        "GetProcAddress",       "LoadLibraryW", std::string(8, '\0'),     "kernel32.dll",
        "\x48\x89\x5c\x24\x08", "MZ\x90",       std::string("PE\0\0", 4), std::string(16, ' ')};
    Bytes b;
    while (b.size() < n) {
        if (gen() % 4 == 0) {
            b.push_back(static_cast<uint8_t>(gen()));
        } else {
            const std::string& w = words[gen() % 8];
            size_t len = gen() % 3 == 0 ? std::min<size_t>(3, w.size()) : w.size();
            b.insert(b.end(), w.begin(), w.begin() + len);
        }
    }
    b.resize(n);
    return b;
}

void ExpectRoundTrip(const Bytes& data) {
    Bytes stored = lzari::Encode(data.data(), data.size());
    lzari::DecodeResult result;
    Bytes decoded = DecodeExact(stored, &result);
    EXPECT_EQ(result, lzari::DecodeResult::kOk);
    ASSERT_EQ(decoded.size(), data.size());
    EXPECT_TRUE(decoded == data);
}

TEST(LzariRoundTrip, RandomStructuredAndRepetitiveData) {
    ExpectRoundTrip(RandomBytes(200000, 1));
    ExpectRoundTrip(StructuredBytes(300000, 2));
    ExpectRoundTrip(Bytes(250000, 'a'));
    ExpectRoundTrip(Bytes(5000, ' '));
    Bytes cycle;
    for (int i = 0; i < 70000; ++i) cycle.push_back(static_cast<uint8_t>(i % 61));
    ExpectRoundTrip(cycle);
}

TEST(LzariRoundTrip, ShortInputsAndEveryByteValue) {
    for (size_t n : {1, 2, 3, 4, 59, 60, 61, 4095, 4096, 4097}) ExpectRoundTrip(RandomBytes(n, 7));
    Bytes all;
    for (int rep = 0; rep < 3; ++rep)
        for (int c = 0; c < 256; ++c) all.push_back(static_cast<uint8_t>(c));
    ExpectRoundTrip(all);
}

TEST(LzariRoundTrip, RepetitiveDataCompressesWell) {
    Bytes data(100000, 'a');
    Bytes stored = lzari::Encode(data.data(), data.size());
    EXPECT_LT(stored.size(), 3000u);  // about 10 bits per 60-byte match
}

TEST(LzariRoundTrip, EmptyInputIsAZeroHeader) {
    Bytes stored = lzari::Encode(nullptr, 0);
    ASSERT_GE(stored.size(), 4u);
    EXPECT_EQ(stored[0] | stored[1] | stored[2] | stored[3], 0);
    lzari::DecodeResult result;
    EXPECT_TRUE(DecodeExact(stored, &result).empty());
    EXPECT_EQ(result, lzari::DecodeResult::kOk);
}

TEST(LzariStream, HeaderZeroProducesNothingWhateverFollows) {
    Bytes stored = {0, 0, 0, 0, 0xff, 0x13, 0x77};
    lzari::DecodeResult result;
    EXPECT_TRUE(DecodeExact(stored, &result).empty());
    EXPECT_EQ(result, lzari::DecodeResult::kOk);
}

TEST(LzariStream, FirstMatchesCopyThePrefilledSpaces) {
    lzari::CSymbolWriter writer(17);
    writer.WriteMatch(10, 5);  // ring positions 4031.. hold spaces
    writer.WriteMatch(3, 4000);
    writer.WriteLiteral('x');
    writer.WriteMatch(3, 1);  // "xxx"
    Bytes decoded = DecodeExact(writer.Finish());
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), std::string(13, ' ') + "xxxx");
}

TEST(LzariStream, OverlappingLongestMatchRepeatsThePattern) {
    lzari::CSymbolWriter writer(62);
    writer.WriteLiteral('a');
    writer.WriteLiteral('b');
    writer.WriteMatch(60, 2);
    Bytes decoded = DecodeExact(writer.Finish());
    std::string expected;
    for (int i = 0; i < 31; ++i) expected += "ab";
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), expected);
}

TEST(LzariStream, MatchLongerThanTheDeclaredSizeStopsAtIt) {
    lzari::CSymbolWriter writer(5);
    writer.WriteLiteral('z');
    writer.WriteMatch(60, 1);
    Bytes decoded = DecodeExact(writer.Finish());
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), "zzzzz");
}

// A stream written once and kept: encoder and decoder share the model code, so a change to
// it would still round-trip while no longer reading the modules already shipped.
TEST(LzariStream, PinnedStreamKeepsTheFormat) {
    const std::string text(
        "abracadabra abracadabra, the module format: abracadabra!   "
        "\x00\x01\x02\x03\x00\x01\x02\x03\xff",
        68);
    const Bytes pinned = {0x44, 0x00, 0x00, 0x00, 0xb0, 0xa8, 0xba, 0x46, 0xb7, 0xed, 0xf0, 0x1f,
                          0x10, 0xce, 0xf2, 0xbe, 0x40, 0xa0, 0xe0, 0x8e, 0xed, 0x7f, 0x68, 0x28,
                          0x88, 0x06, 0x99, 0x20, 0xf2, 0x00, 0xb9, 0x3c, 0xfb, 0x27, 0xc2, 0x3a,
                          0xa3, 0x99, 0x7c, 0x3f, 0x63, 0x39, 0xae, 0xbd, 0x16, 0x2d, 0xc6, 0x4c};
    Bytes data(text.begin(), text.end());
    EXPECT_EQ(lzari::Encode(data.data(), data.size()), pinned);
    EXPECT_EQ(DecodeExact(pinned), data);
}

TEST(LzariDamage, HeaderLargerThanTheBufferIsRefused) {
    Bytes data = StructuredBytes(1000, 3);
    Bytes stored = lzari::Encode(data.data(), data.size());
    Bytes out(999, 0xEE);
    size_t produced = 77;
    EXPECT_EQ(lzari::Decode(stored.data(), stored.size(), out.data(), out.size(), &produced),
              lzari::DecodeResult::kTooLarge);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(out, Bytes(999, 0xEE));

    Bytes huge = {0xff, 0xff, 0xff, 0xff, 1, 2, 3};
    EXPECT_EQ(lzari::Decode(huge.data(), huge.size(), out.data(), out.size(), &produced),
              lzari::DecodeResult::kTooLarge);
}

TEST(LzariDamage, IncompleteHeaderIsRefused) {
    Bytes stored = {1, 0, 0};
    uint8_t out[4];
    size_t produced = 9;
    EXPECT_EQ(lzari::Decode(stored.data(), stored.size(), out, sizeof out, &produced),
              lzari::DecodeResult::kNoHeader);
    EXPECT_EQ(lzari::Decode(nullptr, 0, out, sizeof out, &produced),
              lzari::DecodeResult::kNoHeader);
    EXPECT_EQ(produced, 0u);
}

TEST(LzariDamage, TruncatedAndCorruptedStreamsStayInBounds) {
    Bytes data = StructuredBytes(20000, 4);
    Bytes stored = lzari::Encode(data.data(), data.size());
    std::mt19937 gen(5);
    for (size_t cut : {size_t{4}, size_t{5}, size_t{6}, stored.size() / 3, stored.size() - 1}) {
        Bytes truncated(stored.begin(), stored.begin() + cut);
        EXPECT_EQ(DecodeExact(truncated).size(), data.size());
    }
    for (int round = 0; round < 40; ++round) {
        Bytes damaged = stored;
        for (int flips = 0; flips < 1 + round % 5; ++flips)
            damaged[4 + gen() % (damaged.size() - 4)] ^= static_cast<uint8_t>(1u << (gen() % 8));
        EXPECT_EQ(DecodeExact(damaged).size(), data.size());
    }
    Bytes noise = RandomBytes(3000, 6);
    noise[0] = 0x10;
    noise[1] = 0x27;
    noise[2] = noise[3] = 0;  // declares 10000 bytes of noise
    EXPECT_EQ(DecodeExact(noise).size(), 10000u);
}

}  // namespace
