// The program carries its two modules as the build packed them: "DOWNLOAD_LIB" 120 and
// "VERYFY_DLL" 121 in language 2052, each decodable within four times its stored size, the
// identity module a loadable DLL with GetCIDW.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "support/ScratchFolder.h"
#include "support/TestPaths.h"
#include "transfer/LzariDecoder.h"

namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = LoadLibraryExW(BesideTest(L"program-under-test.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(program_, nullptr);
    }
    void TearDown() override {
        if (program_ != nullptr) FreeLibrary(program_);
    }

    // The decoded module, or nothing when it is missing or does not decode.
    std::vector<uint8_t> Decoded(const wchar_t* type, UINT id) {
        HRSRC info = FindResourceExW(program_, type, MAKEINTRESOURCEW(id), kChinese);
        if (info == nullptr) return {};
        auto stored = static_cast<const uint8_t*>(LockResource(LoadResource(program_, info)));
        size_t length = SizeofResource(program_, info);
        std::vector<uint8_t> out(length * 4);
        size_t produced = 0;
        if (lzari::Decode(stored, length, out.data(), out.size(), &produced) !=
            lzari::DecodeResult::kOk)
            return {};
        out.resize(produced);
        return out;
    }

    HMODULE program_ = nullptr;
};

TEST_F(ProgramResources, EngineResourceIsPresentAndDecodes) {
    EXPECT_FALSE(Decoded(L"DOWNLOAD_LIB", 120).empty());
}

TEST_F(ProgramResources, IdentityResourceIsALoadableModuleWithGetCidw) {
    std::vector<uint8_t> module = Decoded(L"VERYFY_DLL", 121);
    ASSERT_GT(module.size(), 2u);
    EXPECT_EQ(module[0], 'M');
    EXPECT_EQ(module[1], 'Z');
    CScratchFolder scratch;
    std::wstring path = scratch / L"Vexaverify.dll";
    ASSERT_TRUE(CScratchFolder::Write(path, module.data(), module.size()));
    HMODULE loaded = LoadLibraryW(path.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(GetProcAddress(loaded, "GetCIDW"), nullptr);
    FreeLibrary(loaded);
}

}  // namespace
