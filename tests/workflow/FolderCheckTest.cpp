#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workflow/FolderCheck.h"

namespace {

// A machine described by the test; records what the rules asked.
class FakeFacts : public IFolderFacts {
public:
    bool fat = false;
    bool writable = true;
    bool outsideSecurity = true;
    bool spaceShort = false;
    bool targetExists = false;
    std::vector<std::wstring> createAsked;
    uint64_t requiredAsked = 0;
    std::wstring spaceFileAsked;

    uint32_t LogicalDrives() override { return 0; }
    bool IsFatVolume(const std::wstring&) override { return fat; }
    bool CanCreateFolder(const std::wstring& path) override {
        createAsked.push_back(path);
        return writable;
    }
    bool IsOutsideSecurityProducts(const std::wstring&) override { return outsideSecurity; }
    uint64_t FreeBytes(const std::wstring&) override { return 0; }
    bool PathExists(const std::wstring&) override { return targetExists; }
    bool IsDiskSpaceShort(const std::wstring&, uint64_t required,
                          const std::wstring& fileName) override {
        requiredAsked = required;
        spaceFileAsked = fileName;
        return spaceShort;
    }
    bool CreateFolder(const std::wstring&) override { return true; }
};

FolderRequest Request(bool large = false) {
    FolderRequest r;
    r.folder = L"D:\\Games";
    r.fileName = L"setup.exe";
    r.needsLargeFiles = large;
    r.requiredBytes = 12345;
    return r;
}

}  // namespace

TEST(FolderCheck, FatVolumeIsRefusedOnlyForFilesOverFourGibibytes) {
    FakeFacts facts;
    facts.fat = true;
    EXPECT_EQ(CheckDownloadFolder(facts, Request(false)), FolderVerdict::kAccepted);
    EXPECT_EQ(CheckDownloadFolder(facts, Request(true)), FolderVerdict::kFatVolume);

    std::deque<PackageFile> files(2);
    files[0].size = 4294967295ull;  // FAT32 holds 4 GiB less one byte, not a byte more
    files[1].size = 10;
    EXPECT_FALSE(HasFileOverFatLimit(files));
    files[1].size = 4294967296ull;
    EXPECT_TRUE(HasFileOverFatLimit(files));
    EXPECT_EQ(TotalSizeOf(files), 4294967295ull + 4294967296ull);
}

TEST(FolderCheck, WritePermissionIsTestedOnTheTargetPathAndSecurityFoldersAreRefused) {
    FakeFacts facts;
    EXPECT_EQ(CheckDownloadFolder(facts, Request()), FolderVerdict::kAccepted);
    ASSERT_FALSE(facts.createAsked.empty());
    EXPECT_EQ(facts.createAsked.back(), L"D:\\Games\\setup.exe");
    // A target file already there is no reason to refuse the folder: the probe goes beside it.
    facts.targetExists = true;
    EXPECT_EQ(CheckDownloadFolder(facts, Request()), FolderVerdict::kAccepted);
    EXPECT_EQ(facts.createAsked.back(), L"D:\\Games\\setup.exe.writetest");
    facts.writable = false;
    EXPECT_EQ(CheckDownloadFolder(facts, Request()), FolderVerdict::kNoPermission);
    facts.writable = true;
    facts.outsideSecurity = false;
    EXPECT_EQ(CheckDownloadFolder(facts, Request()), FolderVerdict::kNoPermission);
}

TEST(FolderCheck, FreeSpaceIsAskedForTheRemainingBytesAndTheFirstFile) {
    FakeFacts facts;
    facts.spaceShort = true;
    EXPECT_EQ(CheckDownloadFolder(facts, Request()), FolderVerdict::kSpaceShort);
    EXPECT_EQ(facts.requiredAsked, 12345u);
    EXPECT_EQ(facts.spaceFileAsked, L"setup.exe");
}

TEST(FolderCheck, EachRefusalHasItsPromptText) {
    EXPECT_EQ(FolderRefusalText(FolderVerdict::kFatVolume),
              L"磁盘格式为FAT32，无法保存大于4GB的文件，请更换为NTFS格式分区！");
    EXPECT_EQ(FolderRefusalText(FolderVerdict::kNoPermission),
              L"所选目录没有读写权限，请您重新选择目录!");
    EXPECT_EQ(FolderRefusalText(FolderVerdict::kSpaceShort), L"磁盘空间不足，请您重新选择目录!");
    EXPECT_TRUE(FolderRefusalText(FolderVerdict::kAccepted).empty());
    EXPECT_EQ(WithTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(WithTrailingBackslash(L"C:\\a\\"), L"C:\\a\\");
}
