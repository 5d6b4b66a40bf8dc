// The report URLs: unescaped texts, "from" 1 only for the MD5 report.

#include <gtest/gtest.h>

#include "stats/ReportUrl.h"

TEST(ReportUrl, PlainReportEndsWithAmpersand) {
    ClientAppReport report;
    report.name = kReportDownloadStarted;
    report.packageId = L"{CBF64884-192F-484C-8741-9223167E5D6B}";
    report.machineId = L"a1b2";
    report.versionText = L"1.1.0.1011";
    EXPECT_EQ(BuildClientAppReportUrl(L"stat.host:8080", report),
              L"http://stat.host:8080/ClientApp/statLogMuldownUrl/"
              L"?name={CBF64884-192F-484C-8741-9223167E5D6B}&from=0&mid=a1b2&ver=1.1.0.1011&");
}

TEST(ReportUrl, Md5ReportCarriesTheListAndFromOne) {
    ClientAppReport report;
    report.name = kReportPackageVerified;
    report.packageId = L"{X}";
    report.versionText = L"1.0.0.1";
    report.withMd5 = true;
    report.md5List = L"abc,DEF";
    EXPECT_EQ(
        BuildClientAppReportUrl(L"h", report),
        L"http://h/ClientApp/statLogMuldownMd5/?name={X}&from=1&mid=&ver=1.0.0.1&md5=abc,DEF");
}
