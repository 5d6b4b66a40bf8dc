#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "FakeFolder.h"
#include "workflow/ButtonModes.h"
#include "workflow/FinishRules.h"

namespace {

const std::wstring kFolder = L"D:\\Vexadownloads\\";

PackageFile File(const std::wstring& link, uint64_t size = 100) {
    PackageFile file;
    file.size = size;
    file.link = link;
    return file;
}

std::deque<PackageFile> TwoFiles() {
    return {File(L"http://cdn.example.com/setup.exe"), File(L"http://cdn.example.com/data.bin")};
}

TEST(ProgramInsideFolder, PlainRelativeNamesOnly) {
    for (const wchar_t* good : {L"setup.exe", L"bin\\setup.exe", L"Game Setup 2.exe"}) {
        EXPECT_TRUE(IsProgramInsideFolder(good)) << good;
    }
    for (const wchar_t* bad : {L"",
                               L"..\\..\\x.exe",
                               L"..",
                               L"bin\\..\\..\\x.exe",
                               L"C:\\Windows\\x.exe",
                               L"C:x.exe",
                               L"\\x.exe",
                               L"\\\\server\\share\\x.exe",
                               L"\\\\?\\C:\\x.exe",
                               L"bin/../x.exe",
                               L"/x.exe",
                               L"bin\\\\x.exe",
                               L"bin\\",
                               L".\\x.exe",
                               L"x.exe.",
                               L"x.exe ",
                               L"NUL",
                               L"bin\\CON.exe",
                               L"x|y.exe",
                               L"x.exe:stream"}) {
        EXPECT_FALSE(IsProgramInsideFolder(bad)) << bad;
    }
}

TEST(PlanInstall, OneFilePackageStartsItsFile) {
    CFakeFolder disk;
    std::deque<PackageFile> one = {File(L"http://cdn.example.com/game.exe")};
    disk.Add(kFolder + L"game.exe", 100);
    InstallPlan plan = PlanInstall(disk, kFolder, one, L"ignored.exe", false);
    EXPECT_EQ(plan.problem, InstallProblem::kNone);
    EXPECT_EQ(plan.program, kFolder + L"game.exe");

    // Missing, or failed its check: the damaged-file prompt, nothing started.
    EXPECT_EQ(PlanInstall(disk, kFolder, one, L"", true).problem, InstallProblem::kDamaged);
    EXPECT_TRUE(PlanInstall(disk, kFolder, one, L"", true).program.empty());
    CFakeFolder empty;
    EXPECT_EQ(PlanInstall(empty, kFolder, one, L"", false).problem, InstallProblem::kDamaged);
}

TEST(PlanInstall, LargerPackageStartsGameStartInsideTheFolder) {
    CFakeFolder disk;
    disk.Add(kFolder + L"setup.exe", 100);
    disk.Add(kFolder + L"bin\\run.exe", 100);
    disk.Add(L"D:\\x.exe", 100);
    disk.Add(L"C:\\Windows\\x.exe", 100);
    EXPECT_EQ(PlanInstall(disk, kFolder, TwoFiles(), L"setup.exe", false).program,
              kFolder + L"setup.exe");
    EXPECT_EQ(PlanInstall(disk, L"D:\\Vexadownloads", TwoFiles(), L"bin\\run.exe", false).program,
              kFolder + L"bin\\run.exe");
    for (const wchar_t* hostile : {L"..\\x.exe", L"C:\\Windows\\x.exe", L"", L"missing.exe"}) {
        InstallPlan plan = PlanInstall(disk, kFolder, TwoFiles(), hostile, false);
        EXPECT_EQ(plan.problem, InstallProblem::kFileError) << hostile;
        EXPECT_TRUE(plan.program.empty()) << hostile;
    }
    EXPECT_EQ(PlanInstall(disk, kFolder, TwoFiles(), L"setup.exe", true).problem,
              InstallProblem::kFileError);
    EXPECT_EQ(PlanInstall(disk, L"", TwoFiles(), L"setup.exe", false).problem,
              InstallProblem::kFileError);
}

TEST(PlanOpenFolder, SelectsThePartialThenTheFileThenOpensTheFolder) {
    CFakeFolder disk;
    std::deque<PackageFile> pending = TwoFiles();
    EXPECT_EQ(PlanOpenFolder(disk, kFolder, pending).action, OpenFolderAction::kFailed);
    disk.AddFolder(kFolder);
    OpenFolderPlan plan = PlanOpenFolder(disk, kFolder, pending);
    EXPECT_EQ(plan.action, OpenFolderAction::kOpen);
    EXPECT_EQ(plan.path, kFolder);
    disk.Add(kFolder + L"setup.exe", 100);
    plan = PlanOpenFolder(disk, kFolder, pending);
    EXPECT_EQ(plan.action, OpenFolderAction::kSelect);
    EXPECT_EQ(plan.path, kFolder + L"setup.exe");
    disk.Add(kFolder + L"setup.exe.P2P", 10);
    EXPECT_EQ(PlanOpenFolder(disk, kFolder, pending).path, kFolder + L"setup.exe.P2P");
    EXPECT_EQ(PlanOpenFolder(disk, kFolder, {}).action, OpenFolderAction::kOpen);
    EXPECT_EQ(PlanOpenFolder(disk, L"", pending).action, OpenFolderAction::kFailed);
}

TEST(DecideCheckFailed, EachResultOfEachForm) {
    // The extra button: the folder for a one-file package or the last file, else re-download.
    CheckFailedOutcome outcome = DecideCheckFailed(2, 1, 1);
    EXPECT_TRUE(outcome.stopWorker);
    EXPECT_EQ(outcome.buttonMode, kModeInstall);
    EXPECT_EQ(outcome.command, 16u);
    EXPECT_EQ(DecideCheckFailed(2, 3, 1).command, 16u);
    outcome = DecideCheckFailed(2, 3, 2);
    EXPECT_EQ(outcome.command, 20u);
    EXPECT_EQ(outcome.buttonMode, -1);
    // Closed or the second button: install for the last file, re-download otherwise.
    for (int result : {0, 1}) {
        EXPECT_EQ(DecideCheckFailed(result, 1, 1).buttonMode, kModeInstall);
        EXPECT_EQ(DecideCheckFailed(result, 3, 2).buttonMode, kModeRedownload);
        EXPECT_EQ(DecideCheckFailed(result, 3, 2).command, 0u);
        EXPECT_TRUE(DecideCheckFailed(result, 3, 2).stopWorker);
    }
    outcome = DecideCheckFailed(3, 3, 2);
    EXPECT_TRUE(outcome.stopWorker);
    EXPECT_EQ(outcome.buttonMode, -1);
    EXPECT_EQ(outcome.command, 0u);
    // Unanswered (the program ends): nothing.
    outcome = DecideCheckFailed(4, 3, 2);
    EXPECT_FALSE(outcome.stopWorker);
    EXPECT_EQ(outcome.command, 0u);
}

TEST(IsSameFolder, CaseAndTrailingBackslash) {
    EXPECT_TRUE(IsSameFolder(L"D:\\Games", L"d:\\games\\"));
    EXPECT_FALSE(IsSameFolder(L"D:\\Games", L"D:\\Games2"));
    EXPECT_FALSE(IsSameFolder(L"D:\\Games\\a", L"D:\\Games"));
}

TEST(PackageFilePaths, OnlyThePackagesOwnFilesInsideTheFolder) {
    std::deque<PackageFile> files = {
        File(L"http://cdn.example.com/a.bin"),
        File(L"http://cdn.example.com/..\\..\\Windows\\system.ini"),
        File(L"http://cdn.example.com/C:\\boot.ini"),
        File(L"http://cdn.example.com/dir\\b.bin"),
        File(L"http://cdn.example.com/.."),
        File(L"http://cdn.example.com/"),
        File(L"http://cdn.example.com/CON"),
        File(L"http://cdn.example.com/c.bin"),
    };
    std::vector<std::wstring> finished = PackageFilePaths(L"D:\\games", files, false);
    EXPECT_EQ(finished, (std::vector<std::wstring>{L"D:\\games\\a.bin", L"D:\\games\\c.bin"}));
    std::vector<std::wstring> all = PackageFilePaths(kFolder, files, true);
    ASSERT_EQ(all.size(), 8u);
    for (const std::wstring& path : all) {
        ASSERT_EQ(path.compare(0, kFolder.size(), kFolder), 0) << path;
        EXPECT_EQ(path.find_first_of(L"\\/:", kFolder.size()), std::wstring::npos) << path;
    }
    EXPECT_EQ(all[1], kFolder + L"a.bin.P2P");
    EXPECT_EQ(all[2], kFolder + L"a.bin.P2P.rec");
    // A folder that would depend on the current directory deletes nothing.
    for (const wchar_t* folder : {L"", L"games", L"\\games", L"D:games", L"..\\"}) {
        EXPECT_TRUE(PackageFilePaths(folder, files, true).empty()) << folder;
    }
    EXPECT_EQ(PackageFilePaths(L"\\\\server\\share", files, false).size(), 2u);
}

}  // namespace
