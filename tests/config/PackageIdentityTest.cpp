// The package identifier and version text as read from real version resources, compiled
// into small modules beside this test.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/LazyText.h"
#include "config/PackageIdentity.h"
#include "support/TestPaths.h"

namespace {

struct IdResult {
    BOOL found;
    std::wstring id;
};

IdResult QueryId(const wchar_t* module) {
    wchar_t buffer[kPackageIdMaxChars + 1] = {};
    std::wstring path = BesideTest(module);
    BOOL found = QueryPackageId(buffer, path.c_str());
    return {found, buffer};
}

}  // namespace

// Longer identifiers are cut to 38 characters; only the first translation counts (the second
// one of id_two_translations has a FileDescription, the first does not).
TEST(PackageIdentity, IsTheFirstTranslationsIdentifierCutTo38Characters) {
    const std::wstring id = L"{CBF64884-192F-484C-8741-9223167E5D6B}";
    const struct {
        const wchar_t* module;
        bool found;
        std::wstring id;
    } cases[] = {
        {L"id_exact38.dll", true, id},
        {L"id_long.dll", true, id},
        {L"id_two_translations.dll", false, L""},
        {L"no_version.dll", false, L""},
        {L"does_not_exist.dll", false, L""},
    };
    for (const auto& c : cases) {
        IdResult result = QueryId(c.module);
        EXPECT_EQ(result.found != FALSE, c.found) << c.module;
        EXPECT_EQ(result.id, c.id) << c.module;
    }
}

TEST(VersionText, IsTheFileVersionWithoutPadding) {
    EXPECT_EQ(ReadFileVersionText(BesideTest(L"id_exact38.dll").c_str()), L"1.1.0.1011");
    EXPECT_EQ(ReadFileVersionText(BesideTest(L"version_zero_parts.dll").c_str()), L"2.0.0.7");
}

TEST(VersionText, ABlockLargerThanTheFixedBufferIsReadWhole) {
    DWORD ignored = 0;
    std::wstring path = BesideTest(L"version_big_block.dll");
    ASSERT_GT(::GetFileVersionInfoSizeW(path.c_str(), &ignored), kVersionTextBufferBytes);
    EXPECT_EQ(ReadFileVersionText(path.c_str()), L"3.4.5.6");
}

TEST(VersionText, IsEmptyWithoutAVersionResource) {
    EXPECT_EQ(ReadFileVersionText(BesideTest(L"no_version.dll").c_str()), L"");
}

TEST(VersionText, IsBuiltOnceAndRetriedWhileEmpty) {
    std::wstring cache;
    int builds = 0;
    auto failing = [&] { ++builds; return std::wstring(); };
    BuildOnce(cache, failing);
    BuildOnce(cache, failing);
    EXPECT_EQ(builds, 2) << "an empty result must be tried again";

    auto working = [&] { ++builds; return std::wstring(L"1.1.0.1011"); };
    EXPECT_EQ(BuildOnce(cache, working), L"1.1.0.1011");
    EXPECT_EQ(BuildOnce(cache, working), L"1.1.0.1011");
    EXPECT_EQ(builds, 3) << "a built text is kept";
}
