// Unpacking the modules from the program's resources (here: the test program's own).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "support/ScratchFolder.h"
#include "transfer/ModuleExtractor.h"

namespace {

std::vector<uint8_t> RawResource(UINT id) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (info == nullptr) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(nullptr, info));
}

TEST(ExtractModule, WritesTheDecodedModule) {
    CScratchFolder folder;
    std::wstring target = folder / L"engine.dll";
    ASSERT_TRUE(ExtractModule(120, L"DOWNLOAD_LIB", target.c_str()));
    std::vector<uint8_t> expected = RawResource(300);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(CScratchFolder::Read(target) == expected);
}

TEST(ExtractModule, DecodesAStreamPaddedToTheFourfoldLimit) {
    CScratchFolder folder;
    std::wstring target = folder / L"padded.bin";
    ASSERT_TRUE(ExtractModule(124, L"PADDED_LIB", target.c_str()));
    EXPECT_TRUE(CScratchFolder::Read(target) == RawResource(301));
}

TEST(ExtractModule, ReplacesAnUnlockedFile) {
    CScratchFolder folder;
    std::wstring target = folder / L"module.dll";
    ASSERT_TRUE(CScratchFolder::Write(target, std::string(5000000, 'x')));
    ASSERT_TRUE(ExtractModule(120, L"DOWNLOAD_LIB", target.c_str()));
    EXPECT_TRUE(CScratchFolder::Read(target) == RawResource(300));
}

TEST(ExtractModule, FailsOverAModuleThatIsStillLoaded) {
    CScratchFolder folder;
    std::wstring target = folder / L"loaded.dll";
    ASSERT_TRUE(ExtractModule(121, L"VERYFY_DLL", target.c_str()));
    HMODULE loaded = LoadLibraryW(target.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(ExtractModule(120, L"DOWNLOAD_LIB", target.c_str()));
    FreeLibrary(loaded);
    EXPECT_TRUE(ExtractModule(120, L"DOWNLOAD_LIB", target.c_str()));
}

TEST(ExtractModule, ZeroHeaderGivesAnEmptyFile) {
    CScratchFolder folder;
    std::wstring target = folder / L"empty.dll";
    ASSERT_TRUE(CScratchFolder::Write(target, std::string("old")));
    EXPECT_TRUE(ExtractModule(123, L"EMPTY_LIB", target.c_str()));
    EXPECT_TRUE(CScratchFolder::Exists(target));
    EXPECT_TRUE(CScratchFolder::Read(target).empty());
}

TEST(ExtractModule, RefusesAnOversizeHeaderAndLeavesTheTargetAlone) {
    CScratchFolder folder;
    std::wstring target = folder / L"bad.dll";
    ASSERT_TRUE(CScratchFolder::Write(target, std::string("previous")));
    EXPECT_FALSE(ExtractModule(122, L"BAD_LIB", target.c_str()));
    std::vector<uint8_t> kept = CScratchFolder::Read(target);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous");
}

TEST(ExtractModule, MissingResourceFailsWithoutTouchingTheTarget) {
    CScratchFolder folder;
    std::wstring target = folder / L"none.dll";
    EXPECT_FALSE(ExtractModule(999, L"DOWNLOAD_LIB", target.c_str()));
    EXPECT_FALSE(CScratchFolder::Exists(target));
}

TEST(ExtractModule, FailsWhenTheFolderIsMissing) {
    CScratchFolder folder;
    std::wstring target = folder / L"missing\\module.dll";
    EXPECT_FALSE(ExtractModule(120, L"DOWNLOAD_LIB", target.c_str()));
}

}  // namespace
