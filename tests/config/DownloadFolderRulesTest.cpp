// Choosing the download drive and folder on machines described by hand.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "config/DownloadFolderRules.h"

namespace {

struct Drive {
    uint64_t free = 0;
    bool fat = false;
    bool writable = true;
    bool securityProduct = false;
};

class CFakeMachine : public IFolderFacts {
public:
    std::map<wchar_t, Drive> drives;
    std::set<std::wstring> paths;
    std::set<std::wstring> created;
    std::set<std::wstring> asked;  // "fat X:", "create X:\\name", "outside X:\\name"
    bool createFails = false;

    uint32_t LogicalDrives() override {
        uint32_t mask = 0;
        for (const auto& d : drives) mask |= 1u << (d.first - L'A');
        return mask;
    }
    bool IsFatVolume(const std::wstring& folder) override {
        asked.insert(L"fat " + folder);
        return Of(folder).fat;
    }
    bool CanCreateFolder(const std::wstring& folder) override {
        asked.insert(L"create " + folder);
        return Of(folder).writable;
    }
    bool IsOutsideSecurityProducts(const std::wstring& folder) override {
        asked.insert(L"outside " + folder);
        return !Of(folder).securityProduct;
    }
    uint64_t FreeBytes(const std::wstring& drive) override { return Of(drive).free; }
    bool PathExists(const std::wstring& path) override { return paths.count(path) != 0; }
    bool IsDiskSpaceShort(const std::wstring& folder, uint64_t required,
                          const std::wstring&) override {
        return folder.empty() || Of(folder).free <= required;
    }
    bool CreateFolder(const std::wstring& folder) override {
        if (createFails) return false;
        created.insert(folder);
        return true;
    }

private:
    Drive& Of(const std::wstring& path) { return drives[path.at(0)]; }
};

constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

TEST(PickDownloadDrive, MostFreeSpaceWinsAndTiesKeepTheLowerLetter) {
    CFakeMachine machine;
    machine.drives[L'C'] = {50 * kGiB};
    machine.drives[L'D'] = {80 * kGiB};
    machine.drives[L'E'] = {80 * kGiB};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"D:");
}

// One volume under two letters, its free space asked for twice while others write: the
// letters count as equal, and the earlier one is kept whichever moment saw more.
TEST(PickDownloadDrive, NearlyEqualSpaceKeepsTheEarlierLetter) {
    CFakeMachine machine;
    machine.drives[L'C'] = {80 * kGiB};
    machine.drives[L'Z'] = {80 * kGiB + 3 * 1024 * 1024};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"C:");
    machine.drives[L'Z'] = {80 * kGiB + kSameFreeSpaceMargin + 1};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"Z:");
}

TEST(PickDownloadDrive, SkipsFloppyFullUnwritableAndProductDrives) {
    CFakeMachine machine;
    machine.drives[L'A'] = {900 * kGiB};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"");
    machine.drives[L'C'] = {0};
    machine.drives[L'D'] = {500 * kGiB, false, false};
    machine.drives[L'E'] = {400 * kGiB, false, true, true};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"");
    machine.drives[L'Z'] = {1};
    EXPECT_EQ(PickDownloadDrive(machine, kGiB, L"game.exe"), L"Z:");
}

TEST(PickDownloadDrive, FatVolumesTakeAtMostFourGiB) {
    CFakeMachine machine;
    machine.drives[L'C'] = {10 * kGiB};
    machine.drives[L'D'] = {100 * kGiB, true};
    EXPECT_EQ(PickDownloadDrive(machine, 5 * kGiB, L"game.exe"), L"C:");
    EXPECT_EQ(PickDownloadDrive(machine, kFatFileLimit, L"game.exe"), L"D:");
    EXPECT_EQ(PickDownloadDrive(machine, kFatFileLimit + 1, L"game.exe"), L"C:");
}

// Each drive is judged by the folder the first part would take there, FAT only by its root.
TEST(PickDownloadDrive, AsksAboutTheFirstPartOnEachDrive) {
    CFakeMachine machine;
    machine.drives[L'C'] = {10 * kGiB};
    machine.drives[L'D'] = {20 * kGiB};
    EXPECT_EQ(PickDownloadDrive(machine, 5 * kGiB, L"game.exe"), L"D:");
    std::set<std::wstring> expected = {
        L"fat C:", L"create C:\\game.exe", L"outside C:\\game.exe",
        L"fat D:", L"create D:\\game.exe", L"outside D:\\game.exe",
    };
    EXPECT_EQ(machine.asked, expected);
}

TEST(ChooseDownloadFolder, KeepsTheSavedFolderWhileTheDownloadIsThere) {
    CFakeMachine machine;
    machine.drives[L'C'] = {100 * kGiB};
    machine.paths = {L"E:\\Games\\", L"E:\\Games\\game.exe.P2P"};
    std::wstring folder;
    ASSERT_TRUE(ChooseDownloadFolder(machine, L"E:\\Games\\", kGiB, L"game.exe", &folder));
    EXPECT_EQ(folder, L"E:\\Games\\");

    machine.paths = {L"E:\\Games\\", L"E:\\Games\\game.exe"};
    ASSERT_TRUE(ChooseDownloadFolder(machine, L"E:\\Games\\", kGiB, L"game.exe", &folder));
    EXPECT_EQ(folder, L"E:\\Games\\");
}

TEST(ChooseDownloadFolder, OtherwiseCreatesTheDefaultFolderOnTheBestDrive) {
    CFakeMachine machine;
    machine.drives[L'C'] = {100 * kGiB};
    machine.paths = {L"E:\\Games\\"};  // the folder is there, the download is not
    std::wstring folder;
    ASSERT_TRUE(ChooseDownloadFolder(machine, L"E:\\Games\\", kGiB, L"game.exe", &folder));
    EXPECT_EQ(folder, L"C:\\Vexadownloads\\");
    EXPECT_EQ(machine.created.count(L"C:\\Vexadownloads\\"), 1u);

    machine.created.clear();
    machine.paths.insert(L"C:\\Vexadownloads\\");
    ASSERT_TRUE(ChooseDownloadFolder(machine, L"", kGiB, L"game.exe", &folder));
    EXPECT_TRUE(machine.created.empty());
}

TEST(ChooseDownloadFolder, FailsWithoutDriveSpaceOrFolder) {
    CFakeMachine machine;
    machine.drives[L'A'] = {100 * kGiB};
    std::wstring folder = L"unchanged";
    EXPECT_FALSE(ChooseDownloadFolder(machine, L"", kGiB, L"game.exe", &folder));
    machine.drives[L'C'] = {kGiB};
    EXPECT_FALSE(ChooseDownloadFolder(machine, L"", kGiB, L"game.exe", &folder));  // equal: short
    machine.drives[L'C'] = {2 * kGiB};
    machine.createFails = true;
    EXPECT_FALSE(ChooseDownloadFolder(machine, L"", kGiB, L"game.exe", &folder));
    EXPECT_EQ(folder, L"unchanged");
}

}  // namespace
