// The uploader's naming and addressing rules.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "crashupload/CrashUploadRules.h"

// What a parse gives: whether the value was taken, and the two parts it was split into.
std::tuple<bool, std::wstring, int> Split(bool (*parse)(const std::wstring&, std::wstring*, int*),
                                          const wchar_t* value) {
    std::wstring text;
    int number = -1;
    bool taken = parse(value, &text, &number);
    return {taken, taken ? text : L"", taken ? number : -1};
}

TEST(CrashUploadRules, OnlyNumberedDumpsOfAProgramAreRecognised) {
    using Parsed = std::tuple<bool, std::wstring, int>;
    EXPECT_EQ(Split(ParseDumpFileName, L"setup.exe_007.dmp"), Parsed(true, L"setup.exe", 7));
    EXPECT_EQ(Split(ParseDumpFileName, L"游 戏_x.exe_010.dmp"), Parsed(true, L"游 戏_x.exe", 10));
    for (const wchar_t* other :
         {L"setup.exe_011.dmp", L"setup.exe_07.dmp", L"setup.exe_0a7.dmp", L"setup.exe-007.dmp",
          L"setup.exe_007.DMP", L"_007.dmp", L"setup.exe_007.dmp.part", L".dmp", L""})
        EXPECT_FALSE(std::get<0>(Split(ParseDumpFileName, other))) << std::wstring(other).size();
}

TEST(CrashUploadRules, ElevenNamesPerProgram) {
    auto names = DumpFileNames(L"a.exe");
    ASSERT_EQ(names.size(), 11u);
    EXPECT_EQ(names.front(), L"a.exe_000.dmp");
    EXPECT_EQ(names.back(), L"a.exe_010.dmp");
}

TEST(CrashUploadRules, TheUploadPathNamesPackageVersionClientTimeAndNumber) {
    CrashUploadInfo info;
    info.packageId = L"{CBF64884-192F-484C-8741-9223167E5D6B}";
    info.version = L"1.1.0.1011";
    info.clientId = L"0123456789ABCDEF0123456789ABCDEF";
    info.written = {2026, 12, 8, 1, 2, 3};
    info.number = 4;
    EXPECT_EQ(BuildCrashUploadPath(info),
              L"/crashdump/%7BCBF64884-192F-484C-8741-9223167E5D6B%7D/1.1.0.1011/"
              L"0123456789ABCDEF0123456789ABCDEF_20261208T010203Z_004.dmp");
    info.packageId = L"../x y";
    info.clientId.clear();
    EXPECT_EQ(BuildCrashUploadPath(info),
              L"/crashdump/..%2Fx%20y/1.1.0.1011/unknown_20261208T010203Z_004.dmp");
}

TEST(CrashUploadRules, PercentEncodingIsUtf8) {
    EXPECT_EQ(PercentEncode(L"aZ09-._~"), L"aZ09-._~");
    EXPECT_EQ(PercentEncode(L"游"), L"%E6%B8%B8");
    EXPECT_EQ(PercentEncode(L"%/?#"), L"%25%2F%3F%23");
}

TEST(CrashUploadRules, StampedServerValuesAreCheckedBeforeUse) {
    using Parsed = std::tuple<bool, std::wstring, int>;
    EXPECT_EQ(Split(SplitHostAndPort, L"stat.example.com"), Parsed(true, L"stat.example.com", 80));
    EXPECT_EQ(Split(SplitHostAndPort, L"127.0.0.1:8124"), Parsed(true, L"127.0.0.1", 8124));
    for (const wchar_t* bad : {L"", L":80", L"host:", L"host:0", L"host:65536", L"host:8x",
                               L"ho st", L"host/path", L"user@host", L"host:123456"})
        EXPECT_FALSE(std::get<0>(Split(SplitHostAndPort, bad))) << std::wstring(bad).size();
}

TEST(CrashUploadRules, OnlySuccessAnswersCountAsReceived) {
    EXPECT_TRUE(IsReceivedStatus(200));
    EXPECT_TRUE(IsReceivedStatus(201));
    EXPECT_TRUE(IsReceivedStatus(204));
    for (int status : {0, 100, 302, 404, 413, 500})
        EXPECT_FALSE(IsReceivedStatus(status)) << status;
}

TEST(CrashUploadRules, MinidumpsStartWithTheirSignature) {
    const uint8_t dump[] = {'M', 'D', 'M', 'P', 0x93, 0xA7};
    const uint8_t other[] = {'M', 'Z', 0x90, 0};
    EXPECT_TRUE(LooksLikeMinidump(dump, sizeof(dump)));
    EXPECT_FALSE(LooksLikeMinidump(other, sizeof(other)));
    EXPECT_FALSE(LooksLikeMinidump(dump, 3));
}
