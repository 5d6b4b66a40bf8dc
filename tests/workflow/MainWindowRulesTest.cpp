#include <gtest/gtest.h>

#include "workflow/MainWindowRules.h"

namespace {

PackageFile File(uint64_t size, const std::wstring& link) {
    PackageFile file;
    file.size = size;
    file.link = link;
    return file;
}

const wchar_t kId[] = L"{0D6A5C0E-7C53-4E44-9E2B-4D1A7A3A1F00}";

}  // namespace

TEST(VersionRule, TextsOfDifferentLengthAlwaysCountAsOlder) {
    EXPECT_TRUE(IsDownloaderOlder(L"1.1.0.10", L"1.1.0.9"));  // eight against seven
    EXPECT_TRUE(IsDownloaderOlder(L"1.1.0.9", L"1.1.0.10"));
    EXPECT_TRUE(IsDownloaderOlder(L"9.9.9.9999", L"1.0.0.1"));  // whatever the numbers
}

TEST(VersionRule, EqualLengthsCompareTheFirstFiveCharacters) {
    EXPECT_FALSE(IsDownloaderOlder(L"1.1.0.1011", L"1.1.0.1011"));
    EXPECT_TRUE(IsDownloaderOlder(L"1.1.0.1011", L"1.2.0.1011"));
    EXPECT_FALSE(IsDownloaderOlder(L"1.2.0.1011", L"1.1.0.1011"));  // newer: never older
    // Beyond the fifth character nothing counts.
    EXPECT_FALSE(IsDownloaderOlder(L"1.1.0.1011", L"1.1.0.9999"));
    EXPECT_FALSE(IsDownloaderOlder(L"1.1.0", L"1.1.0"));
    // Ordinal: "1.1.9" sorts before "1.1.a"; texts shorter than five compare whole.
    EXPECT_TRUE(IsDownloaderOlder(L"1.1.9", L"1.1.a"));
    EXPECT_TRUE(IsDownloaderOlder(L"1.0", L"1.1"));
    EXPECT_FALSE(IsDownloaderOlder(L"", L""));
}

TEST(ProgressBridge, DocumentFillsTheFirstTwentyAndTheSkinTheNextTwenty) {
    EXPECT_EQ(InitStatusPercent(0, 1000, 5, 1), 0);
    EXPECT_EQ(InitStatusPercent(499, 1000, 5, 1), 9);  // 9.98, truncated
    EXPECT_EQ(InitStatusPercent(1000, 1000, 5, 1), 20);
    EXPECT_EQ(InitStatusPercent(0, 1000, 5, 2), 20);
    EXPECT_EQ(InitStatusPercent(999, 1000, 5, 2), 39);
    EXPECT_EQ(InitStatusPercent(1000, 1000, 5, 2), 40);
    // Large sizes do not overflow: the share is computed in floating point.
    EXPECT_EQ(InitStatusPercent(0xFFFFFFFFu, 0xFFFFFFFFu, 5, 2), 40);
    EXPECT_EQ(InitStatusPercent(0x7FFFFFFFu, 0xFFFFFFFFu, 5, 1), 9);
}

TEST(ProgressBridge, UnknownTotalsAndTagsGiveZeroOtherReportsAreIgnored) {
    EXPECT_EQ(InitStatusPercent(500, 0, 5, 1), 0);
    EXPECT_EQ(InitStatusPercent(500, 0, 5, 2), 0);
    EXPECT_EQ(InitStatusPercent(500, 1000, 5, 3), 0);
    EXPECT_EQ(InitStatusPercent(500, 1000, 5, 0), -1);
    EXPECT_EQ(InitStatusPercent(0, 0, 2, 1), -1);  // handle opened
    EXPECT_EQ(InitStatusPercent(0, 1000, 4, 1), -1);
    EXPECT_EQ(InitStatusPercent(1000, 1000, 6, 2), -1);
}

TEST(ProgressBridge, TheBarRacesToNinetyEightInStepsOfTwo) {
    int percent = 40;
    int ticks = 0;
    while (!RaceFinished(percent)) {
        percent = NextRacePercent(percent);
        ++ticks;
    }
    EXPECT_EQ(percent, 98);
    EXPECT_EQ(ticks, 29);
    EXPECT_EQ(NextRacePercent(97), 98);  // an odd start is capped, not overshot
    EXPECT_EQ(NextRacePercent(98), 98);
    EXPECT_FALSE(RaceFinished(97));
    EXPECT_TRUE(RaceFinished(98));
    EXPECT_TRUE(RaceFinished(100));
}

TEST(PackageCheck, TheFrontFileNeedsANameASizeAndALinkAndTheIdentifierIsNeeded) {
    std::deque<PackageFile> ok = {File(100, L"http://h/a/game.bin")};
    EXPECT_TRUE(PassesPackageCheck(ok, kId));
    EXPECT_FALSE(PassesPackageCheck(ok, L""));
    EXPECT_FALSE(PassesPackageCheck({}, kId));
    EXPECT_FALSE(PassesPackageCheck({File(0, L"http://h/a/game.bin")}, kId));
    EXPECT_FALSE(PassesPackageCheck({File(100, L"")}, kId));
    EXPECT_FALSE(PassesPackageCheck({File(100, L"http://h/a/")}, kId));  // no name
}

TEST(PackageCheck, NamesThatWouldLeaveTheFolderOrCollideAreRefused) {
    const std::wstring good = L"http://h/a/game.bin";
    for (const wchar_t* link :
         {L"http://h/a/..\\evil.exe", L"http://h/a/..", L"http://h/a/C:x.exe",
          L"http://h/a/a\\b.bin", L"http://h/a/nul.txt", L"http://h/a/x.", L"http://h/a/x?.bin"}) {
        EXPECT_FALSE(PassesPackageCheck({File(100, link)}, kId)) << link;
        // A later file is checked too: all of them go into the same folder.
        EXPECT_FALSE(PassesPackageCheck({File(100, good), File(5, link)}, kId)) << link;
    }
    EXPECT_FALSE(PassesPackageCheck({File(100, good), File(5, L"http://other/GAME.BIN")}, kId));
    EXPECT_TRUE(PassesPackageCheck({File(100, good), File(5, L"http://h/b/game2.bin")}, kId));
}

TEST(Shortcut, TheStemIsTheProgramFileNameWithoutItsLastExtension) {
    EXPECT_EQ(ShortcutStemFor(L"C:\\games\\VexaYoral_Starfall.exe"), L"VexaYoral_Starfall");
    EXPECT_EQ(ShortcutStemFor(L"C:\\games\\setup.v2.exe"), L"setup.v2");
    EXPECT_EQ(ShortcutStemFor(L"C:\\games\\noextension"), L"noextension");
    EXPECT_EQ(ShortcutStemFor(L"Z:\\tmp\\dir.d\\prog.exe"), L"prog");
}
