// The crash report's paths and command line, built into fixed buffers.

#include <gtest/gtest.h>

#include <string>

#include "app/CrashReportText.h"

TEST(CrashReportText, DumpPathsCarryTheProgramsNameAndAThreeDigitNumber) {
    wchar_t path[kCrashPathChars];
    ASSERT_TRUE(FormatDumpPath(path, kCrashPathChars, L"C:\\Games\\dump", L"setup.exe", 0));
    EXPECT_EQ(std::wstring(path), L"C:\\Games\\dump\\setup.exe_000.dmp");
    ASSERT_TRUE(FormatDumpPath(path, kCrashPathChars, L"C:\\", L"游戏.exe", 10));
    EXPECT_EQ(std::wstring(path), L"C:\\游戏.exe_010.dmp");
    EXPECT_FALSE(FormatDumpPath(path, kCrashPathChars, L"C:\\", L"a.exe", 1000));
    EXPECT_FALSE(FormatDumpPath(path, kCrashPathChars, L"C:\\", L"a.exe", -1));
}

TEST(CrashReportText, APathThatDoesNotFitIsRefusedNotCut) {
    std::wstring folder = L"C:\\" + std::wstring(240, L'f');
    wchar_t path[kCrashPathChars];
    EXPECT_TRUE(FormatDumpPath(path, kCrashPathChars, folder.c_str(), L"a.exe", 1));
    EXPECT_FALSE(FormatDumpPath(path, kCrashPathChars, folder.c_str(), L"longer-name.exe", 1));
    EXPECT_EQ(path[0], L'\0');
    EXPECT_FALSE(JoinPath(path, kCrashPathChars, folder.c_str(), std::wstring(20, L'x').c_str()));
    EXPECT_EQ(path[0], L'\0');
}

TEST(CrashReportText, TheUploaderCommandLineQuotesItsTwoArguments) {
    wchar_t line[kUploaderCommandChars];
    FormatUploaderCommandLine(line, kUploaderCommandChars, L"C:\\Q u\\dump\\a.exe_003.dmp");
    EXPECT_EQ(std::wstring(line), L"\"Plorex.exe\" \"C:\\Q u\\dump\\a.exe_003.dmp\" \"\"");
    wchar_t small[16];
    FormatUploaderCommandLine(small, 16, L"C:\\dump\\a.dmp");
    EXPECT_EQ(std::wstring(small), L"\"Plorex.exe\" \"C");  // cut to the buffer
}

TEST(CrashReportText, OnlyAbsoluteDrivePathsNameACompanionFolder) {
    EXPECT_TRUE(IsAbsoluteDrivePath(L"C:\\Program Files\\Quillet"));
    EXPECT_TRUE(IsAbsoluteDrivePath(L"d:\\Quillet\\"));
    EXPECT_TRUE(IsAbsoluteDrivePath(L"C:\\"));
    for (const wchar_t* refused :
         {L"", L"Quillet", L"C:Quillet", L"\\Quillet", L"\\\\server\\share", L"\\\\?\\C:\\Q",
          L"\\\\.\\pipe\\q", L"C:\\Q\\\\\\server", L"C:\\Q\"uillet", L"C:\\Q\\a:b", L"C:\\Q/x",
          L"C:\\Q\nX", L"1:\\Q"})
        EXPECT_FALSE(IsAbsoluteDrivePath(refused)) << std::wstring(refused).size();
}

TEST(CrashReportText, FileNamePartIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(std::wstring(FileNamePart(L"C:\\Games\\setup.exe")), L"setup.exe");
    EXPECT_EQ(std::wstring(FileNamePart(L"setup.exe")), L"setup.exe");
    EXPECT_EQ(std::wstring(FileNamePart(L"C:\\Games\\")), L"");
}
