// The download state file and the shell helpers around the download folder.

#include <gtest/gtest.h>
#include <windows.h>

#include "config/DownloadFolder.h"
#include "config/ShellFolders.h"
#include "config/StateFile.h"
#include "support/ScratchFolder.h"

namespace {

std::wstring RawValue(const CStateFile& state, const wchar_t* key) {
    wchar_t value[260] = {};
    GetPrivateProfileStringW(L"Norvane", key, L"", value, 260, state.Path().c_str());
    return value;
}

TEST(StateFile, WithoutTheFileReadsGiveDefaultsAndWritesCreateNothing) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.SaveDownloadFolder(L"D:\\Games\\");
    state.SaveQuilletChoice(1);
    state.SaveQuilletSize(5);
    state.SaveDownloadTotalTime(77);
    EXPECT_FALSE(state.Exists());
    EXPECT_EQ(state.LoadDownloadFolder(), L"");
    EXPECT_EQ(state.LoadQuilletSize(), 10485760u);
    EXPECT_TRUE(state.IsQuilletChosen(true));
    EXPECT_FALSE(state.IsQuilletChosen(false));
    EXPECT_EQ(state.LoadDownloadTotalTime(), 0u);
}

// The highest accepted release serial outlives every fresh download (which resets the file),
// and is kept even before any download made the file: a replay must not pass on a reset.
TEST(StateFile, AcceptedSerialSurvivesResetAndNeedsNoDownload) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    EXPECT_EQ(state.LoadAcceptedSerial(), 0u);
    state.SaveAcceptedSerial(20261208);
    EXPECT_TRUE(state.Exists());
    EXPECT_EQ(state.LoadDownloadFolder(), L"");
    state.SaveDownloadFolder(L"D:\\Games\\");
    state.Reset();
    EXPECT_EQ(state.LoadDownloadFolder(), L"");
    EXPECT_EQ(state.LoadAcceptedSerial(), 20261208u);
}

TEST(StateFile, ResetStartsEmptyAndSavesAreReadBack) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    ASSERT_TRUE(CScratchFolder::Write(state.Path(), std::string("[Norvane]\r\nDir=old\r\n")));
    state.Reset();
    EXPECT_TRUE(state.Exists());
    EXPECT_EQ(state.LoadDownloadFolder(), L"");
    EXPECT_FALSE(state.IsQuilletChosen(true));  // the file exists: its (missing) value counts
    EXPECT_EQ(state.LoadQuilletSize(), 10485760u);

    state.SaveDownloadFolder(L"D:\\下载\\Games\\");
    state.SaveQuilletChoice(1);
    state.SaveQuilletSize(123456);
    state.SaveDownloadTotalTime(9876543210123ull);
    EXPECT_EQ(state.LoadDownloadFolder(), L"D:\\下载\\Games\\");
    EXPECT_TRUE(state.IsQuilletChosen(false));
    EXPECT_EQ(state.LoadQuilletSize(), 123456u);
    EXPECT_EQ(state.LoadDownloadTotalTime(), 9876543210123ull);
}

TEST(StateFile, OnlyTheTextOneMeansChosen) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.Reset();
    WritePrivateProfileStringW(L"Norvane", L"DLQL", L"01", state.Path().c_str());
    EXPECT_FALSE(state.IsQuilletChosen(true));
    state.SaveQuilletChoice(0);
    EXPECT_FALSE(state.IsQuilletChosen(true));
    state.SaveQuilletChoice(1);
    EXPECT_EQ(RawValue(state, L"DlQL"), L"1");
    EXPECT_TRUE(state.IsQuilletChosen(false));
}

TEST(StateFile, QuilletSizesOf2GiBAndMoreReadBackWhole) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.Reset();
    state.SaveQuilletSize(3000000000ull);
    EXPECT_EQ(RawValue(state, L"QLSize"), L"3000000000");
    EXPECT_EQ(state.LoadQuilletSize(), 3000000000ull);
    state.SaveQuilletSize(6442450944ull);  // 6 GiB
    EXPECT_EQ(state.LoadQuilletSize(), 6442450944ull);
    state.SaveQuilletSize(UINT64_MAX);
    EXPECT_EQ(state.LoadQuilletSize(), UINT64_MAX);
}

TEST(StateFile, QuilletSizeReadsEarlierAndDamagedValuesSafely) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.Reset();
    auto stored = [&](const wchar_t* text) {
        WritePrivateProfileStringW(L"Norvane", L"QLSize", text, state.Path().c_str());
        return state.LoadQuilletSize();
    };
    EXPECT_EQ(stored(L"-1294967296"), 3000000000ull);  // 3000000000 as earlier versions wrote it
    EXPECT_EQ(stored(L"  +42abc"), 42u);
    EXPECT_EQ(stored(L"size"), 10485760u);
    EXPECT_EQ(stored(L"0"), 10485760u);
    EXPECT_EQ(stored(L"-99999999999"), 10485760u);  // never a 32-bit value
}

// The total is read as an unsigned decimal: a damaged value must not turn into an absurd
// time (a "-1" read as 2^64 - 1 would be added to and stored for good).
TEST(StateFile, DamagedDownloadTimeReadsAsTheDigitsItStartsWithOrZero) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.Reset();
    const struct {
        const wchar_t* stored;
        uint64_t total;
    } cases[] = {{L"  1500ms", 1500},
                 {L"-1", 0},
                 {L"minutes", 0},
                 {L"99999999999999999999999", 0},
                 {L"18446744073709551615", UINT64_MAX}};
    for (const auto& c : cases) {
        WritePrivateProfileStringW(L"Norvane", L"DownloadTotalTime", c.stored,
                                   state.Path().c_str());
        EXPECT_EQ(state.LoadDownloadTotalTime(), c.total) << c.stored;
    }
}

TEST(StateFile, PathIsTheIdentifierInTheTemporaryFolder) {
    EXPECT_EQ(StateFilePathFor(L"C:\\Temp", L"{CBF64884-192F-484C-8741-9223167E5D6B}"),
              L"C:\\Temp\\{CBF64884-192F-484C-8741-9223167E5D6B}.tmp.cfg");
    EXPECT_EQ(StateFilePathFor(L"C:\\Temp\\", L"{X}"), L"C:\\Temp\\{X}.tmp.cfg");
    EXPECT_EQ(StateFilePathFor(L"", L"{X}"), L"");
}

TEST(ChooseDownloadFolder, FindsTheSavedFolderOfAnEarlierRun) {
    CScratchFolder scratch;
    CStateFile state(scratch / L"{ID}.tmp.cfg");
    state.Reset();
    std::wstring games = scratch / L"games\\";
    ASSERT_TRUE(CreateDirectoryW(games.c_str(), nullptr));
    ASSERT_TRUE(CScratchFolder::Write(games + L"game.exe.P2P", std::string("partial")));
    state.SaveDownloadFolder(games);
    std::wstring folder;
    ASSERT_TRUE(ChooseDownloadFolder(state, 1000, L"game.exe", &folder));
    EXPECT_EQ(folder, games);
}

TEST(CreateShortcut, WritesALinkToTheTarget) {
    CScratchFolder scratch;
    std::wstring target = scratch / L"program.exe";
    ASSERT_TRUE(CScratchFolder::Write(target, std::string("MZ")));
    std::wstring link = scratch / L"program.lnk";
    EXPECT_EQ(CreateShortcut(target, L"", L"", link, L"program"), S_OK);
    EXPECT_TRUE(CScratchFolder::Exists(link));
}

}  // namespace
