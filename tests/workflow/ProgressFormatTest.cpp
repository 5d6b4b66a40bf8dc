#include <gtest/gtest.h>

#include <cstdint>

#include "workflow/ProgressFormat.h"

TEST(FormatSize, PicksTheLargestUnitReachedAndStopsAtGigabytes) {
    EXPECT_EQ(FormatSize(0), L"0.00B");
    EXPECT_EQ(FormatSize(1023), L"1023.00B");
    EXPECT_EQ(FormatSize(1024), L"1.00KB");
    EXPECT_EQ(FormatSize(1048576), L"1.00MB");
    EXPECT_EQ(FormatSize(1610612736), L"1.50GB");
    // Five tebibytes stay in GB, with four digits before the point.
    EXPECT_EQ(FormatSize(5ull << 40), L"5120.00GB");
    EXPECT_EQ(FormatSize(UINT64_MAX), L"17179869184.00GB");
}

TEST(FormatSize, SinglePrecisionQuotientRoundsUpJustBelowTheNextUnit) {
    // 1,048,575 bytes is one byte short of a MiB: still KB, and the float quotient reads 1024.
    EXPECT_EQ(FormatSize(1048575), L"1024.00KB");
    EXPECT_EQ(FormatSize(1073741823), L"1024.00MB");
}

TEST(FormatSize, PairJoinsBothSidesWithASlash) {
    EXPECT_EQ(FormatSizePairText(512, 1610612736), L"512.00B/1.50GB");
}

TEST(FormatSpeed, ShowsKilobytesWithOneDecimal) {
    EXPECT_EQ(FormatSpeed(0), L"速度：0.0KB/s");
    EXPECT_EQ(FormatSpeed(1536), L"速度：1.5KB/s");
    EXPECT_EQ(FormatSpeed(10 * 1048576), L"速度：10240.0KB/s");
}

TEST(PercentOf, ZeroTotalGivesZeroAndLargeSizesNeverOverflow) {
    EXPECT_EQ(PercentOf(0, 0), 0u);
    EXPECT_EQ(PercentOf(123, 0), 0u);
    EXPECT_EQ(PercentOf(1, 3), 33u);
    EXPECT_EQ(PercentOf(2, 3), 66u);
    EXPECT_EQ(PercentOf(3, 3), 100u);
    // done * 100 would wrap in 64 bits here.
    EXPECT_EQ(PercentOf(UINT64_MAX / 2, UINT64_MAX), 49u);
    EXPECT_EQ(PercentOf(UINT64_MAX - 1, UINT64_MAX), 99u);
    // More done than total (a companion larger than announced) never shows above 100.
    EXPECT_EQ(PercentOf(200, 100), 100u);
}
