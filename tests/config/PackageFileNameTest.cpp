#include <gtest/gtest.h>

#include "config/PackageFileName.h"

namespace {

PackageFile FileAt(const std::wstring& link) {
    PackageFile file;
    file.link = link;
    file.size = 1;
    return file;
}

}  // namespace

TEST(PackageFileName, TheNameIsTheTextAfterTheLastSlash) {
    std::wstring name;
    EXPECT_TRUE(
        PackageFileNameOf(FileAt(L"http://dl.example.com/games/2024/game_setup.exe"), &name));
    EXPECT_EQ(name, L"game_setup.exe");
    EXPECT_TRUE(PackageFileNameOf(FileAt(L"http://h/星辰之战 v1.2.part1.rar"), &name));
    EXPECT_EQ(name, L"星辰之战 v1.2.part1.rar");
    EXPECT_EQ(PackageFileNameOf(L"nolink"), L"nolink");
}

TEST(PackageFileName, HostileNamesAreRefused) {
    const wchar_t* hostile[] = {
        L"http://h/",                  // empty
        L"http://h/..",                // parent folder
        L"http://h/.",                 //
        L"http://h/..\\..\\evil.exe",  // backslashes climb out of the folder
        L"http://h/C:\\Windows\\x.dll",
        L"http://h/C:evil.exe",        // drive-relative
        L"http://h/setup.exe:stream",  // alternate data stream
        L"http://h/a?b=1",             // a query is no file name
        L"http://h/a*b",
        L"http://h/a|b",
        L"http://h/a\"b",
        L"http://h/a<b>",
        L"http://h/tab\there",
        L"http://h/setup.exe.",  // the trailing dot vanishes on disk
        L"http://h/setup.exe ",
        L"http://h/CON",
        L"http://h/nul.txt",
        L"http://h/Com1.exe",
        L"http://h/LPT9",
        L"http://h/CONOUT$",
        L"http://h/com\u00B9.bin",
    };
    for (const wchar_t* link : hostile) {
        std::wstring name = L"untouched";
        EXPECT_FALSE(PackageFileNameOf(FileAt(link), &name)) << link;
        EXPECT_TRUE(name.empty()) << link;
    }
    EXPECT_FALSE(IsPlainFileName(std::wstring(256, L'a')));
    EXPECT_TRUE(IsPlainFileName(std::wstring(255, L'a')));
    EXPECT_TRUE(IsPlainFileName(L"console.exe"));  // only whole device names are reserved
    EXPECT_TRUE(IsPlainFileName(L"COM10"));
    EXPECT_TRUE(IsPlainFileName(L".hidden"));
}

TEST(PackageFileName, APackageIsSafeOnlyWhenEveryNameIsPlainAndDistinct) {
    std::deque<PackageFile> files = {FileAt(L"http://h/a.bin"), FileAt(L"http://h/b.bin")};
    EXPECT_TRUE(ArePackageFileNamesSafe(files));
    files.push_back(FileAt(L"http://h/x/A.BIN"));  // the same file on disk as a.bin
    EXPECT_FALSE(ArePackageFileNamesSafe(files));
    files.pop_back();
    files.push_back(FileAt(L"http://h/..%5c..%5c"));
    EXPECT_TRUE(ArePackageFileNamesSafe(files));  // percent signs are plain characters
    files.push_back(FileAt(L"http://h/aux"));
    EXPECT_FALSE(ArePackageFileNamesSafe(files));
    EXPECT_TRUE(ArePackageFileNamesSafe({}));
}
