// The client identifier from the identity module carried in the (test) program's resources.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/ScratchFolder.h"
#include "transfer/ClientId.h"
#include "transfer/ModuleExtractor.h"

namespace {

using GetCid = int(WINAPI*)(wchar_t*, int);

// A source that counts how often it asks for the module path.
struct CountingSource {
    std::wstring path;
    int asked = 0;
    CClientIdSource source{[this] {
        ++asked;
        return path;
    }};
};

TEST(IdentityModule, GivesAStableHexIdentifierThatFitsTheBuffer) {
    CScratchFolder folder;
    std::wstring path = folder / L"Vexaverify.dll";
    ASSERT_TRUE(ExtractModule(121, L"VERYFY_DLL", path.c_str()));
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr);
    auto getCid =
        reinterpret_cast<GetCid>(reinterpret_cast<void*>(GetProcAddress(module, "GetCIDW")));
    ASSERT_NE(getCid, nullptr);
    wchar_t first[100] = {}, second[100] = {};
    EXPECT_NE(getCid(first, 100), 0);
    EXPECT_NE(getCid(second, 100), 0);
    EXPECT_EQ(std::wstring(first), std::wstring(second));
    EXPECT_EQ(wcslen(first), 32u);
    EXPECT_EQ(std::wstring(first).find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    wchar_t small[8] = {L'x'};
    EXPECT_EQ(getCid(small, 8), 0);
    EXPECT_EQ(small[0], L'\0');
    FreeLibrary(module);
}

TEST(ClientIdSource, UnpacksCallsAndDeletesTheModuleOnce) {
    CScratchFolder folder;
    CountingSource counting{folder / L"Vexaverify.dll"};
    const std::wstring& path = counting.path;
    std::wstring id;
    ASSERT_TRUE(counting.source.Get(&id));
    EXPECT_EQ(id.size(), 32u);
    EXPECT_FALSE(CScratchFolder::Exists(path));

    // The second request answers from memory: a file at the module path stays as it is.
    ASSERT_TRUE(CScratchFolder::Write(path, std::string("not a module")));
    std::wstring again;
    ASSERT_TRUE(counting.source.Get(&again));
    EXPECT_EQ(again, id);
    EXPECT_EQ(counting.asked, 1);
    std::vector<uint8_t> kept = CScratchFolder::Read(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "not a module");
}

TEST(ClientIdSource, AFailedAttemptIsMadeAgain) {
    CScratchFolder folder;
    CountingSource counting{folder / L"missing-folder\\Vexaverify.dll"};
    std::wstring id = L"stale";
    EXPECT_FALSE(counting.source.Get(&id));
    EXPECT_TRUE(id.empty());
    EXPECT_FALSE(counting.source.Get(&id));
    EXPECT_EQ(counting.asked, 2);
}

}  // namespace
