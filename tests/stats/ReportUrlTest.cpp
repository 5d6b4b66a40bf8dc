// The report URLs: values as written but for what breaks a query, "from" 1 only for the MD5
// report.

#include <gtest/gtest.h>

#include "stats/ReportUrl.h"

namespace {

ClientAppReport Md5Report(const wchar_t* packageId, const wchar_t* machineId,
                          const wchar_t* versionText, const wchar_t* md5List) {
    return {kReportPackageVerified, packageId, machineId, versionText, true, md5List};
}

}  // namespace

TEST(ReportUrl, PlainReportEndsWithAmpersand) {
    const ClientAppReport report{kReportDownloadStarted,
                                 L"{CBF64884-192F-484C-8741-9223167E5D6B}", L"a1b2",
                                 L"1.1.0.1011"};
    EXPECT_EQ(BuildClientAppReportUrl(L"stat.host:8080", report),
              L"http://stat.host:8080/ClientApp/statLogMuldownUrl/"
              L"?name={CBF64884-192F-484C-8741-9223167E5D6B}&from=0&mid=a1b2&ver=1.1.0.1011&");
}

TEST(ReportUrl, Md5ReportCarriesTheListAsWrittenAndFromOne) {
    EXPECT_EQ(BuildClientAppReportUrl(L"h", Md5Report(L"{X}", L"", L"1.0.0.1", L"abc,DEF")),
              L"http://h/ClientApp/statLogMuldownMd5/?name={X}&from=1&mid=&ver=1.0.0.1&"
              L"md5=abc,DEF");
}

// Values from a document or the identity module must never end a value early, add a
// parameter or break the request line.
TEST(ReportUrl, NoValueCanAddParametersOrBreakTheRequest) {
    std::wstring url = BuildClientAppReportUrl(
        L"h", Md5Report(L"{A}&from=9", L"m id#frag", L"1.0\r\nHost: x", L"a b,c?d=e/f%"));
    EXPECT_EQ(url,
              L"http://h/ClientApp/statLogMuldownMd5/?name={A}%26from%3D9&from=1"
              L"&mid=m%20id%23frag&ver=1.0%0D%0AHost:%20x&md5=a%20b,c?d%3De/f%25");
    EXPECT_EQ(url.find_first_of(L" \r\n#"), std::wstring::npos);
}

TEST(EncodeReportValue, OnlyWhatBreaksAQueryIsEscapedAsUtf8Bytes) {
    const struct {
        std::wstring value;
        std::wstring sent;
    } cases[] = {
        {L"", L""},
        {L"AZaz09-._~", L"AZaz09-._~"},
        {L"{CBF64884-192F}", L"{CBF64884-192F}"},
        {L"a,b,c", L"a,b,c"},
        {L"/?:;@!$'()*[]|\"<>\\^`", L"/?:;@!$'()*[]|\"<>\\^`"},
        {L"&#%+=", L"%26%23%25%2B%3D"},
        {L" \t", L"%20%09"},
        {L"\r\n\x01\x1F\x7F", L"%0D%0A%01%1F%7F"},
        {L"\u00e9", L"%C3%A9"},
        {L"\u4e0b\u8f7d", L"%E4%B8%8B%E8%BD%BD"},
        {L"\U0001F600", L"%F0%9F%98%80"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", L"%EF%BF%BDx"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeReportValue(c.value), c.sent) << c.sent;
}
