// Splitting the document's size, link and MD5 lists into package files.

#include <gtest/gtest.h>

#include "config/PartListSplitter.h"

namespace {

void ExpectPart(const PackageFile& part, uint64_t size, const std::wstring& link,
                const std::wstring& md5 = std::wstring()) {
    EXPECT_EQ(part.size, size);
    EXPECT_EQ(part.link, link);
    EXPECT_EQ(part.md5, md5);
    EXPECT_TRUE(part.extra.empty());
}

}  // namespace

TEST(PartListSplitter, ListsWithoutCommasGiveOneRecord) {
    auto parts = SplitPartLists(L"100", L"http://h/a.exe", L"");
    ASSERT_EQ(parts.size(), 1u);
    ExpectPart(parts[0], 100, L"http://h/a.exe");
}

TEST(PartListSplitter, ShorterListIsNotAligned) {
    auto parts = SplitPartLists(L"1,2,3", L"a,b", L"");
    ASSERT_EQ(parts.size(), 3u);
    ExpectPart(parts[0], 1, L"a");
    ExpectPart(parts[1], 2, L"");
    ExpectPart(parts[2], 3, L"b");
}

TEST(PartListSplitter, LeadingCommaGivesEmptySizeItem) {
    auto parts = SplitPartLists(L",100,200", L"a,b,c", L"m1,m2,m3");
    ASSERT_EQ(parts.size(), 3u);
    ExpectPart(parts[0], 0, L"a", L"m1");
    ExpectPart(parts[1], 100, L"b", L"m2");
    ExpectPart(parts[2], 200, L"c", L"m3");
}

TEST(PartListSplitter, OnlyLeadingCommasStopTheSplitting) {
    auto parts = SplitPartLists(L",5", L",x", L"");
    ASSERT_EQ(parts.size(), 1u);
    ExpectPart(parts[0], 0, L",x");
}

TEST(PartListSplitter, BlanksAroundEachItemAreRemoved) {
    auto parts =
        SplitPartLists(L" 100 , 200\t", L"http://h/a.bin, http://h/b.bin ", L"0f3c ,\t9a1b");
    ASSERT_EQ(parts.size(), 2u);
    ExpectPart(parts[0], 100, L"http://h/a.bin", L"0f3c");
    ExpectPart(parts[1], 200, L"http://h/b.bin", L"9a1b");

    auto blank = SplitPartLists(L"1, ", L"a,  ", L" , ");
    ASSERT_EQ(blank.size(), 2u);
    ExpectPart(blank[1], 0, L"", L"");
    ExpectPart(SplitPartLists(L"7", L" http://h/one name.bin ", L"")[0], 7,
               L"http://h/one name.bin");  // blanks inside an item stay
}

TEST(PartListSplitter, LongItemsStayWhole) {
    std::wstring link1 = L"http://host/" + std::wstring(3000, L'a') + L".bin";
    std::wstring link2 = L"http://host/" + std::wstring(5000, L'b') + L".bin";
    std::wstring md5 = std::wstring(400, L'f');
    auto parts = SplitPartLists(L"1,2", link1 + L"," + link2, md5 + L"," + md5);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].link, link1);
    EXPECT_EQ(parts[1].link, link2);
    EXPECT_EQ(parts[1].md5, md5);
}

TEST(PartListSplitter, ManyItemsSplitInStep) {
    std::wstring sizes, links;
    for (int i = 0; i < 2000; ++i) {
        sizes += (i ? L"," : L"") + std::to_wstring(i);
        links += (i ? L"," : L"") + std::wstring(L"l") + std::to_wstring(i);
    }
    auto parts = SplitPartLists(sizes, links, L"");
    ASSERT_EQ(parts.size(), 2000u);
    EXPECT_EQ(parts[1999].size, 1999u);
    EXPECT_EQ(parts[1999].link, L"l1999");
}

TEST(ParseUnsignedDecimal, ReadsLikeTheScanFormat) {
    EXPECT_EQ(ParseUnsignedDecimal(L"  42 "), 42u);
    EXPECT_EQ(ParseUnsignedDecimal(L"+7"), 7u);
    EXPECT_EQ(ParseUnsignedDecimal(L"12abc"), 12u);
    EXPECT_EQ(ParseUnsignedDecimal(L"5368709120"), 5368709120u);
    EXPECT_EQ(ParseUnsignedDecimal(L"18446744073709551615"), 18446744073709551615u);
    EXPECT_EQ(ParseUnsignedDecimal(L"18446744073709551616"), 0u);
    EXPECT_EQ(ParseUnsignedDecimal(L"-5"), 0u);
    EXPECT_EQ(ParseUnsignedDecimal(L"abc"), 0u);
    EXPECT_EQ(ParseUnsignedDecimal(L""), 0u);
}
