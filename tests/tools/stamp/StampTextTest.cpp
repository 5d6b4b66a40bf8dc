// Text conversions and version parsing of the stamping tool.

#include <gtest/gtest.h>

#include "Stamp.h"

TEST(StampText, Utf8RoundTripsThroughUtf16IncludingChineseAndSurrogates) {
    const std::string samples[] = {"{CBF64884-192F-484C-8741-9223167E5D6B}", "下载器", "\xF0\x9F\x98\x80"};
    for (const std::string& sample : samples) {
        EXPECT_EQ(stamp::Utf16ToUtf8(stamp::Utf8ToUtf16(sample)), sample);
    }
    EXPECT_EQ(stamp::Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);
}

TEST(StampText, BrokenUtf8BecomesReplacementCharactersWithoutReadingPastTheEnd) {
    EXPECT_EQ(stamp::Utf8ToUtf16("a\xE4\xB8"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(stamp::Utf8ToUtf16("\xFF"), u"\uFFFD");
}

TEST(StampText, VersionsHaveFourPartsThatFitSixteenBits) {
    stamp::FileVersion version;
    ASSERT_TRUE(stamp::ParseFileVersion("1.1.0.1011", &version));
    EXPECT_EQ(stamp::FormatFileVersion(version), "1.1.0.1011");
    EXPECT_FALSE(stamp::ParseFileVersion("1.1.0", &version));
    EXPECT_FALSE(stamp::ParseFileVersion("1.1.0.65536", &version));
    EXPECT_FALSE(stamp::ParseFileVersion("1.1.0.1x", &version));
}
