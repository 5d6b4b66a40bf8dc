// Reading the statistics log of the staged server.

#include <gtest/gtest.h>

#include "StatsLog.h"

using publish::AddStatsLine;
using publish::CsvField;
using publish::DecodeQueryValue;
using publish::StatsSummary;
using publish::VisibleText;

TEST(StatsLog, DecodesPercentAndLogEscapes) {
    EXPECT_EQ(DecodeQueryValue("%7BCBF64884%7D"), "{CBF64884}");
    EXPECT_EQ(DecodeQueryValue("a%2Cb,c"), "a,b,c");
    EXPECT_EQ(DecodeQueryValue("\\x22quoted\\x22"), "\"quoted\"");
    EXPECT_EQ(DecodeQueryValue("100%"), "100%");
    EXPECT_EQ(DecodeQueryValue("%zz%4"), "%zz%4");
    EXPECT_EQ(DecodeQueryValue("a+b%2Bc%26d"), "a+b+c&d");
}

TEST(StatsLog, CsvFieldsAreQuotedAndNeverFormulas) {
    const struct {
        const char* value;
        const char* field;
    } cases[] = {
        {"", ""},
        {"{P}", "{P}"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"a=1", "a=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.value), c.field) << c.value;
}

TEST(StatsLog, TextOutputShowsControlCharactersEscaped) {
    EXPECT_EQ(VisibleText("{P} 下载"), "{P} 下载");
    EXPECT_EQ(VisibleText("a\x1b[2Jb\r\n\x7f"), "a\\x1b[2Jb\\x0d\\x0a\\x7f");
    EXPECT_EQ(VisibleText("\xc2\x9b"
                          "1m\xc2\xa0"),
              "\\x9b"
              "1m\xc2\xa0");
    EXPECT_EQ(VisibleText("c:\\x1b"), "c:\\\\x1b");
}

TEST(StatsLog, CountsReportsPerPackageAndClient) {
    StatsSummary s;
    const std::string t = "2026-12-08T00:00:00+00:00\t127.0.0.1\t";
    AddStatsLine(t + "/ClientApp/statLogMuldownUrl/\tname={P}&from=0&mid=m1&ver=1.0&\n", s);
    AddStatsLine(t + "/ClientApp/statLogMuldownUrl/\tname=%7BP%7D&from=0&mid=m2&ver=1.0&", s);
    AddStatsLine(t + "/ClientApp/statLogQuilletMuldownUrl/\tname={P}&from=0&mid=m1&ver=1.0&", s);
    AddStatsLine(t + "/ClientApp/statLogMuldownMd5/\tname={P}&from=1&mid=m1&ver=1.0&md5=a%2Cb", s);
    AddStatsLine(t + "/ClientApp/statLogMuldownMd5/\tname={P}&from=1&mid=m2&ver=1.0&md5=a,b", s);
    AddStatsLine(t + "/ClientApp/statLogMuldownMd5/\tname={Q}&from=1&mid=&ver=1.0&md5=c", s);
    AddStatsLine(t + "/ClientApp/statLogDownloadTime/\tname={Q}&mid=&time=1500", s);
    AddStatsLine(t + "/favicon.ico\t", s);
    AddStatsLine("garbage", s);

    EXPECT_EQ(s.lines, 9u);
    EXPECT_EQ(s.unreadable, 2u);
    ASSERT_EQ(s.packages.size(), 2u);
    const auto& p = s.packages["{P}"];
    EXPECT_EQ(p.reportsByClient.size(), 2u);
    EXPECT_EQ(p.reportsByClient.at("m1"), 3u);
    EXPECT_EQ(p.downloadsStarted, 2u);
    EXPECT_EQ(p.companionOffers, 1u);
    ASSERT_EQ(p.completedByMd5.size(), 1u);
    EXPECT_EQ(p.completedByMd5.at("a,b"), 2u);
    const auto& q = s.packages["{Q}"];
    EXPECT_EQ(q.reportsByClient.count(""), 1u);
    EXPECT_EQ(q.downloadTimeReports, 1u);
    EXPECT_EQ(q.downloadTimeTotal, 1500u);
}
