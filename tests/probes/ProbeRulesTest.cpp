// The decisions of the environment probes, fed with chosen facts.

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "probes/ProbeRules.h"

namespace {

DiskSpaceFacts Volume(uint64_t freeBytes) {
    DiskSpaceFacts facts;
    facts.folderExists = true;
    facts.volumeQueried = true;
    facts.freeBytes = freeBytes;
    return facts;
}

TEST(IsSpaceShort, EqualSpaceIsShortOnlyMoreIsEnough) {
    EXPECT_TRUE(IsSpaceShort(Volume(1000), 1000));
    EXPECT_FALSE(IsSpaceShort(Volume(1001), 1000));
    EXPECT_TRUE(IsSpaceShort(Volume(0), 0));
}

TEST(IsSpaceShort, MissingFolderOrFailedQueryIsShort) {
    DiskSpaceFacts missing = Volume(UINT64_MAX);
    missing.folderExists = false;
    EXPECT_TRUE(IsSpaceShort(missing, 1));
    DiskSpaceFacts unknown = Volume(UINT64_MAX);
    unknown.volumeQueried = false;
    EXPECT_TRUE(IsSpaceShort(unknown, 1));
}

TEST(IsSpaceShort, APartlyDownloadedTargetCountsAsPresent) {
    DiskSpaceFacts facts = Volume(600);
    facts.targetFileSize = 500;
    EXPECT_TRUE(IsSpaceShort(facts, 1000));  // no ".P2P" record: the file is not ours
    facts.partialFileExists = true;
    EXPECT_FALSE(IsSpaceShort(facts, 1000));
    facts.freeBytes = UINT64_MAX;
    EXPECT_FALSE(IsSpaceShort(facts, UINT64_MAX - 1));  // the sum does not wrap
}

TEST(IsSpaceShort, TheEnginesPartialFileCountsAsPresent) {
    // An interrupted download: the engine holds all fetched bytes in the ".P2P" file and
    // the target does not exist yet.
    DiskSpaceFacts facts = Volume(600);
    facts.partialFileExists = true;
    facts.partialFileSize = 500;
    EXPECT_FALSE(IsSpaceShort(facts, 1000));
    EXPECT_TRUE(IsSpaceShort(facts, 1100));
    facts.targetFileSize = 200;  // a stale target is replaced by the finished file
    EXPECT_FALSE(IsSpaceShort(facts, 1100));
    facts.partialFileSize = UINT64_MAX;
    EXPECT_FALSE(IsSpaceShort(facts, UINT64_MAX - 1));  // the sum does not wrap
}

TEST(IsInsideProductFolder, SubfoldersAreInsideSimilarNamesAreNot) {
    const std::wstring product = L"C:\\Program Files\\Marlo";
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\Program Files\\Marlo", product));
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\Program Files\\Marlo\\Games", product));
    EXPECT_FALSE(IsInsideProductFolder(L"C:\\Program Files\\MarloGames", product));
    EXPECT_FALSE(IsInsideProductFolder(L"C:\\Program Files", product));
    EXPECT_FALSE(IsInsideProductFolder(L"D:\\Games", product));
}

TEST(IsInsideProductFolder, PathsCompareWithoutRegardToCase) {
    const std::wstring product = L"C:\\Program Files\\Marlo";
    EXPECT_TRUE(IsInsideProductFolder(L"c:\\program files\\marlo\\games", product));
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\PROGRAM FILES\\MARLO", product));
    EXPECT_TRUE(
        IsInsideProductFolder(L"C:\\Program Files\\Marlo\\Spiele", L"c:\\program files\\marlo\\"));
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\\u00c9t\u00e9\\x", L"c:\\\u00e9T\u00c9"));
    EXPECT_FALSE(IsInsideProductFolder(L"c:\\program files\\marlogames", product));
    EXPECT_FALSE(IsInsideProductFolder(L"C:\\Program Files\\Marl0", product));
}

TEST(IsInsideProductFolder, SurroundingBlanksAndTrailingBackslash) {
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\Marlo  ", L"C:\\Marlo "));
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\Marlo\\Games", L"C:\\Marlo\\"));
    EXPECT_TRUE(IsInsideProductFolder(L"C:\\Marlo\\", L"C:\\Marlo\\"));
}

TEST(AreScreenEdgesCovered, SamplesEachEdgeInOrder) {
    std::set<std::pair<int, int>> asked;
    auto all = [&](int x, int y) {
        asked.insert({x, y});
        return true;
    };
    EXPECT_TRUE(AreScreenEdgesCovered(1281, 1025, all));
    std::set<std::pair<int, int>> firstSamples = {{80, 0}, {1280, 64}, {80, 1024}, {0, 64}};
    EXPECT_EQ(asked, firstSamples);

    // Only the second sample of each edge covered: still full screen.
    auto second = [](int x, int y) {
        return (x == 1200 && y == 0) || (x == 1280 && y == 960) || (x == 1200 && y == 1024) ||
               (x == 0 && y == 960);
    };
    EXPECT_TRUE(AreScreenEdgesCovered(1281, 1025, second));

    int calls = 0;
    auto noLeft = [&](int x, int y) {
        ++calls;
        return x != 0;
    };
    EXPECT_FALSE(AreScreenEdgesCovered(1281, 1025, noLeft));
    EXPECT_EQ(calls, 5);  // three edges at their first sample, both left samples
}

}  // namespace
