// The environment probes against the real (Wine) system.

#include <gtest/gtest.h>
#include <windows.h>

#include "probes/FileProbes.h"
#include "probes/ProcessProbes.h"
#include "probes/ProductProbes.h"
#include "probes/ScreenProbes.h"
#include "probes/VolumeProbes.h"
#include "support/ScratchFolder.h"

namespace {

TEST(CanCreateFolder, ExistingCreatableAndImpossibleFolders) {
    CScratchFolder scratch;
    std::wstring existing = scratch / L"existing";
    ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
    EXPECT_TRUE(CanCreateFolder(existing.c_str()));
    EXPECT_TRUE(FolderExists(existing.c_str()));  // never removed

    std::wstring creatable = scratch / L"new";
    EXPECT_TRUE(CanCreateFolder(creatable.c_str()));
    EXPECT_FALSE(CScratchFolder::Exists(creatable));  // nothing left behind

    std::wstring orphan = scratch / L"missing-parent\\child";
    EXPECT_FALSE(CanCreateFolder(orphan.c_str()));
    EXPECT_FALSE(CScratchFolder::Exists(scratch / L"missing-parent"));
}

TEST(GetFileSize64, SizeOfExistingFilesZeroForMissingOnesWhichStayMissing) {
    CScratchFolder scratch;
    std::wstring file = scratch / L"five.bin";
    ASSERT_TRUE(CScratchFolder::Write(file, std::string("12345")));
    EXPECT_EQ(GetFileSize64(file.c_str()), 5u);
    std::wstring missing = scratch / L"missing.bin";
    EXPECT_EQ(GetFileSize64(missing.c_str()), 0u);
    EXPECT_FALSE(CScratchFolder::Exists(missing));
}

TEST(GetTempFolder, EndsWithABackslash) {
    std::wstring temp = GetTempFolder(L"fallback");
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(FolderExists(temp.c_str()));
}

TEST(VolumeProbes, MissingFoldersAreFatAndShort) {
    CScratchFolder scratch;
    std::wstring missing = scratch / L"missing\\";
    EXPECT_TRUE(IsFatVolume(missing));
    EXPECT_TRUE(IsDiskSpaceShort(missing, 0, L"game.bin"));
    EXPECT_TRUE(IsDiskSpaceShort(L"", 0, L"game.bin"));
}

TEST(VolumeProbes, AnExistingFolderHasRoomForNothingButNotForEverything) {
    CScratchFolder scratch;
    uint64_t free = 0;
    ASSERT_TRUE(GetVolumeFreeBytes(scratch.Path(), &free));
    ASSERT_GT(free, 0u);
    EXPECT_FALSE(IsDiskSpaceShort(scratch.Path(), 0, L"game.bin"));
    EXPECT_TRUE(IsDiskSpaceShort(scratch.Path(), UINT64_MAX, L"game.bin"));
    EXPECT_FALSE(IsFatVolume(scratch.Path()));
}

TEST(VolumeProbes, APartialDownloadCountsAsAlreadyOnTheDisk) {
    CScratchFolder scratch;
    ASSERT_TRUE(CScratchFolder::Write(scratch / L"game.bin", std::string(4096, 'g')));
    DiskSpaceFacts plain = GatherDiskSpaceFacts(scratch.Path(), L"game.bin");
    EXPECT_TRUE(plain.folderExists);
    EXPECT_TRUE(plain.volumeQueried);
    EXPECT_FALSE(plain.partialFileExists);  // no ".P2P" record: not a download of ours

    ASSERT_TRUE(CScratchFolder::Write(scratch / L"game.bin.P2P", std::string("record")));
    DiskSpaceFacts partial = GatherDiskSpaceFacts(scratch.Path(), L"game.bin");
    EXPECT_TRUE(partial.partialFileExists);
    EXPECT_EQ(partial.targetFileSize, 4096u);
    EXPECT_EQ(partial.partialFileSize, 6u);
}

TEST(VolumeProbes, TheBytesInThePartialFileAreCredited) {
    // The engine writes into "game.bin.P2P" only; the target appears when it is complete.
    CScratchFolder scratch;
    ASSERT_TRUE(CScratchFolder::Write(scratch / L"game.bin.P2P", std::string(8192, 'p')));
    DiskSpaceFacts facts = GatherDiskSpaceFacts(scratch.Path(), L"game.bin");
    EXPECT_TRUE(facts.partialFileExists);
    EXPECT_EQ(facts.partialFileSize, 8192u);
    EXPECT_EQ(facts.targetFileSize, 0u);
    EXPECT_FALSE(CScratchFolder::Exists(scratch / L"game.bin"));  // nothing created there
}

TEST(ClaimNamedMutex, TheFirstClaimWinsLaterOnesAreTold) {
    const wchar_t* name = L"vexa-probes-test-mutex-{5A1F6B2C-0D3E-4F5A-8B9C-1D2E3F4A5B6C}";
    HANDLE first = nullptr, second = nullptr;
    EXPECT_FALSE(ClaimNamedMutex(name, &first));
    EXPECT_TRUE(ClaimNamedMutex(name, &second));
    CloseHandle(second);
    CloseHandle(first);
    HANDLE again = nullptr;
    EXPECT_FALSE(ClaimNamedMutex(name, &again));
    CloseHandle(again);
}

TEST(GetProcessImagePath, FindsThisProgramAndRefusesSystemIds) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(GetProcessImagePath(GetCurrentProcessId(), path, MAX_PATH));
    EXPECT_NE(wcsstr(path, L"probes_win_test.exe"), nullptr);
    EXPECT_FALSE(GetProcessImagePath(4, path, MAX_PATH));
    EXPECT_FALSE(GetProcessImagePath(0, path, MAX_PATH));
}

// A value under HKEY_LOCAL_MACHINE for the length of one test: the key is made for it and
// removed again (the test prefix has none of these products installed).
class CMachineValue {
public:
    CMachineValue(const std::wstring& key, const wchar_t* name, const std::wstring& text)
        : key_(key) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr) != ERROR_SUCCESS)
            return;
        ok_ = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
              ERROR_SUCCESS;
        RegCloseKey(handle);
    }
    ~CMachineValue() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str()); }
    CMachineValue(const CMachineValue&) = delete;
    CMachineValue& operator=(const CMachineValue&) = delete;
    bool Ok() const { return ok_; }

private:
    std::wstring key_;
    bool ok_ = false;
};

const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

TEST(IsOutsideSecurityProducts, ReadsEachProductsInstallFolder) {
    for (const wchar_t* product : {L"marlo.exe", L"tevrin.exe"}) {
        CMachineValue installed(kAppPaths + product, L"path", L"C:\\Program Files\\Guard");
        ASSERT_TRUE(installed.Ok()) << product;
        EXPECT_FALSE(IsOutsideSecurityProducts(L"C:\\Program Files\\Guard\\dl")) << product;
        EXPECT_FALSE(IsOutsideSecurityProducts(L"C:\\Program Files\\Guard")) << product;
        EXPECT_TRUE(IsOutsideSecurityProducts(L"C:\\Program Files\\GuardGames")) << product;
    }
    EXPECT_TRUE(IsOutsideSecurityProducts(L"C:\\Program Files\\Guard\\dl"));  // uninstalled
}

TEST(IsQuilletInstalled, NeedsAnAppPathsEntryNamingAnExistingFile) {
    CScratchFolder scratch;
    std::wstring program = scratch / L"quillet.exe";
    ASSERT_TRUE(CScratchFolder::Write(program, std::string("MZ")));
    {
        CMachineValue entry(kAppPaths + L"quillet.exe", nullptr, program);
        ASSERT_TRUE(entry.Ok());
        EXPECT_TRUE(IsQuilletInstalled());
    }
    {
        CMachineValue entry(kAppPaths + L"quillet.exe", nullptr, scratch / L"removed.exe");
        ASSERT_TRUE(entry.Ok());
        EXPECT_FALSE(IsQuilletInstalled());
    }
    {
        // A value that does not fit the 260-byte read counts as not installed.
        std::wstring longPath = scratch / (std::wstring(140, L'q') + L".exe");
        ASSERT_TRUE(CScratchFolder::Write(longPath, std::string("MZ")));
        CMachineValue entry(kAppPaths + L"quillet.exe", nullptr, longPath);
        ASSERT_TRUE(entry.Ok());
        EXPECT_FALSE(IsQuilletInstalled());
    }
    EXPECT_FALSE(IsQuilletInstalled());
}

TEST(IsOutsideProductFolders, EitherProductFolderRefuses) {
    std::vector<std::wstring> products = {L"C:\\Marlo", L"D:\\Tools\\Tevrin"};
    EXPECT_FALSE(IsOutsideProductFolders(L"D:\\Tools\\Tevrin\\dl", products));
    EXPECT_FALSE(IsOutsideProductFolders(L"C:\\Marlo\\dl", products));
    EXPECT_TRUE(IsOutsideProductFolders(L"C:\\MarloDownloads", products));
    EXPECT_TRUE(IsOutsideProductFolders(L"C:\\Marlo\\dl", {}));
    // Neither product is installed in the test prefix.
    EXPECT_TRUE(IsOutsideSecurityProducts(L"C:\\Vexadownloads\\"));
    EXPECT_FALSE(IsQuilletInstalled());
}

}  // namespace

namespace {

// A plain top-level window of the given size at the screen's origin, brought to the front.
class CFrontWindow {
public:
    CFrontWindow(int width, int height) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VexaProbesTestWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"front", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(window_);
        Pump();
    }
    ~CFrontWindow() { DestroyWindow(window_); }
    HWND Get() const { return window_; }
    static void Pump() {
        MSG msg;
        for (int i = 0; i < 20; ++i) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
    }

private:
    HWND window_ = nullptr;
};

TEST(IsFullScreenAppActive, AWindowCoveringTheScreenInFrontCounts) {
    int width = 0, height = 0;
    ASSERT_TRUE(GetPrimaryScreenSize(&width, &height));
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    {
        CFrontWindow full(width, height);
        if (GetForegroundWindow() != full.Get()) GTEST_SKIP() << "no foreground window here";
        EXPECT_TRUE(IsFullScreenAppActive());
    }
    CFrontWindow small(width / 3, height / 3);
    if (GetForegroundWindow() != small.Get()) GTEST_SKIP() << "no foreground window here";
    EXPECT_FALSE(IsFullScreenAppActive());
}

}  // namespace
