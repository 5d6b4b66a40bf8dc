// The fingerprint's span and its hashing in pieces.

#include <gtest/gtest.h>

#include <vector>

#include "transfer/Fingerprint.h"

TEST(Fingerprint, SpanIsTheLastFiftyMebibytes) {
    EXPECT_EQ(FingerprintSpan(10).offset, 0u);
    EXPECT_EQ(FingerprintSpan(10).length, 10u);
    EXPECT_EQ(FingerprintSpan(kFingerprintWindow).offset, 0u);
    EXPECT_EQ(FingerprintSpan(kFingerprintWindow + 1).offset, 1u);
    EXPECT_EQ(FingerprintSpan(kFingerprintWindow + 1).length, kFingerprintWindow);
    EXPECT_EQ(FingerprintSpan(0).length, 0u);
}

TEST(Fingerprint, PiecesOfAnySizeGiveTheDigestOfTheSpan) {
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
    CFingerprintHasher hasher(bytes.size());
    for (size_t at = 0; at < bytes.size(); at += 7)
        hasher.Update(bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
    Md5Bytes digest;
    ASSERT_TRUE(hasher.Final(&digest));
    EXPECT_EQ(digest, Md5Digest(bytes.data(), bytes.size()));
}

TEST(Fingerprint, TooFewTooManyOrNoBytesFail) {
    Md5Bytes digest;
    CFingerprintHasher empty(0);
    EXPECT_FALSE(empty.Final(&digest));
    CFingerprintHasher shortOne(10);
    shortOne.Update("123456789", 9);
    EXPECT_FALSE(shortOne.Final(&digest));
    EXPECT_EQ(digest, Md5Bytes{});
    CFingerprintHasher longOne(3);
    longOne.Update("1234", 4);
    EXPECT_FALSE(longOne.Final(&digest));
}
