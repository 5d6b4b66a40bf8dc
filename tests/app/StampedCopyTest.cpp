// Copies made by the publisher's stamping tool, read back the way the program reads itself.

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/DeploymentValues.h"
#include "config/PackageIdentity.h"
#include "support/TestPaths.h"

namespace {

bool ReadDeployment(const std::wstring& path, DeploymentValues* values) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool ok = false;
    if (HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(1), L"VEXA_DEPLOY")) {
        HGLOBAL data = ::LoadResource(module, info);
        const char* bytes = data ? static_cast<const char*>(::LockResource(data)) : nullptr;
        ok = bytes && ParseDeploymentValues(bytes, ::SizeofResource(module, info), values);
    }
    ::FreeLibrary(module);
    return ok;
}

std::vector<char> FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(StampedCopy, ReadsBackItsIdentifierVersionAndDeploymentValues) {
    std::wstring copy = BesideTest(L"stamped_a.exe");
    wchar_t id[kPackageIdMaxChars + 1] = {};
    ASSERT_TRUE(QueryPackageId(id, copy.c_str()));
    EXPECT_STREQ(id, L"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(ReadFileVersionText(copy.c_str()), L"2.0.0.7");

    DeploymentValues values;
    ASSERT_TRUE(ReadDeployment(copy, &values));
    EXPECT_EQ(values.configServer, "127.0.0.1:8123");
    EXPECT_EQ(values.statsServer, "127.0.0.1:8124");
    EXPECT_EQ(values.homePage, "http://www.vexayoral.com/");
}

TEST(StampedCopy, AShorterIdentifierLeavesNoTraceOfTheDefault) {
    wchar_t id[kPackageIdMaxChars + 1] = {};
    ASSERT_TRUE(QueryPackageId(id, BesideTest(L"stamped_short.exe").c_str()));
    EXPECT_STREQ(id, L"{ABC}");
}

TEST(StampedCopy, TheUnstampedProgramCarriesTheDefaultIdentifier) {
    wchar_t id[kPackageIdMaxChars + 1] = {};
    ASSERT_TRUE(QueryPackageId(id, BesideTest(L"VexaYoral.exe").c_str()));
    EXPECT_STREQ(id, L"{CBF64884-192F-484C-8741-9223167E5D6B}");
}

TEST(StampedCopy, StampingIsRepeatable) {
    std::vector<char> first = FileBytes(BesideTest(L"stamped_a.exe"));
    std::vector<char> second = FileBytes(BesideTest(L"stamped_a_again.exe"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second);
}
