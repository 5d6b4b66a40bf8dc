#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "FakeFolder.h"
#include "workflow/ButtonModes.h"
#include "workflow/RestoreRules.h"

namespace {

const std::wstring kFolder = L"D:\\Vexadownloads\\";
const std::wstring kMd5A = L"0123456789abcdef0123456789abcdef";
const std::wstring kMd5B = L"fedcba9876543210fedcba9876543210";
const std::wstring kMd5C = L"00112233445566778899aabbccddeeff";

PackageFile File(const std::wstring& name, uint64_t size, const std::wstring& md5) {
    PackageFile file;
    file.size = size;
    file.link = L"http://cdn.example.com/games/" + name;
    file.md5 = md5;
    return file;
}

std::deque<PackageFile> ThreeFiles() {
    return {File(L"a.bin", 1000, kMd5A), File(L"b.bin", 2000, kMd5B), File(L"c.bin", 3000, kMd5C)};
}

class RestoreTest : public ::testing::Test {
protected:
    void SetUp() override { disk.AddFolder(kFolder); }
    RestoredRun Detect(const std::deque<PackageFile>& files, const std::wstring& safecheck = L"1",
                       const std::wstring& saved = kFolder) {
        return DetectRestoredRun(disk, saved, files, safecheck);
    }
    CFakeFolder disk;
};

TEST_F(RestoreTest, OneCompleteFileIsTheWholePackage) {
    std::deque<PackageFile> one = {File(L"game.exe", 5000, kMd5A)};
    disk.Add(kFolder + L"game.exe", 5000, kMd5A);
    RestoredRun run = Detect(one);
    EXPECT_EQ(run.state, kInitialComplete);
    EXPECT_EQ(run.targetFolder, kFolder);
    EXPECT_EQ(run.completedBytes, 5000u);
    EXPECT_EQ(run.completedFiles, 1u);
    EXPECT_FALSE(run.discardSavedFolder);
    EXPECT_EQ(ButtonModeOfInitialState(run.state), kModeInstall);
}

TEST_F(RestoreTest, TwoCompleteAndTheThirdNeverStartedGoesOnWithTheThird) {
    disk.Add(kFolder + L"a.bin", 1000, kMd5A);
    disk.Add(kFolder + L"b.bin", 2000, kMd5B);
    RestoredRun run = Detect(ThreeFiles());
    EXPECT_EQ(run.state, kInitialSomeFiles);
    EXPECT_EQ(run.completedBytes, 3000u);
    EXPECT_EQ(run.completedFiles, 2u);
    EXPECT_EQ(run.currentFile.link, ThreeFiles()[2].link);
    EXPECT_EQ(run.targetFolder, kFolder);
    EXPECT_EQ(RestoredPercent(run.completedBytes, 6000), 50);
}

TEST_F(RestoreTest, APartialSecondFileResumesItWithTheFirstCounted) {
    disk.Add(kFolder + L"a.bin", 1000, kMd5A);
    disk.Add(kFolder + L"b.bin.P2P", 700);
    RestoredRun run = Detect(ThreeFiles());
    EXPECT_EQ(run.state, kInitialPartial);
    EXPECT_EQ(run.completedBytes, 1000u);
    EXPECT_EQ(run.completedFiles, 1u);
    EXPECT_EQ(run.currentFile.link, ThreeFiles()[1].link);
}

TEST_F(RestoreTest, APartialFirstFileIsStateOneWithNothingCounted) {
    disk.Add(kFolder + L"a.bin.P2P", 10);
    RestoredRun run = Detect(ThreeFiles());
    EXPECT_EQ(run.state, kInitialPartial);
    EXPECT_EQ(run.completedBytes, 0u);
    EXPECT_EQ(run.targetFolder, kFolder);
}

TEST_F(RestoreTest, AWrongFileDiscardsThePackageUnderEitherCheck) {
    disk.Add(kFolder + L"a.bin", 1000, kMd5A);
    disk.Add(kFolder + L"b.bin", 1999, kMd5B);  // one byte short
    for (const wchar_t* safecheck : {L"1", L"0", L""}) {
        RestoredRun run = Detect(ThreeFiles(), safecheck);
        EXPECT_EQ(run.state, kInitialNothing) << safecheck;
        EXPECT_TRUE(run.discardSavedFolder) << safecheck;
        EXPECT_EQ(run.completedBytes, 0u);
        EXPECT_EQ(run.completedFiles, 0u);
    }
}

TEST_F(RestoreTest, WrongContentCountsOnlyWhenTheCheckAsksForSizeAlone) {
    disk.Add(kFolder + L"a.bin", 1000, kMd5B);  // right size, other content
    EXPECT_TRUE(Detect(ThreeFiles(), L"1").discardSavedFolder);
    RestoredRun sizeOnly = Detect(ThreeFiles(), L"0");
    EXPECT_FALSE(sizeOnly.discardSavedFolder);
    EXPECT_EQ(sizeOnly.state, kInitialSomeFiles);
    EXPECT_EQ(sizeOnly.completedBytes, 1000u);
}

TEST_F(RestoreTest, AnEmptyFileIsNeverComplete) {
    std::deque<PackageFile> one = {File(L"game.exe", 0, kMd5A)};
    disk.Add(kFolder + L"game.exe", 0, kMd5A);
    EXPECT_TRUE(Detect(one, L"0").discardSavedFolder);
}

TEST_F(RestoreTest, UpperCaseMd5TextsMatch) {
    std::deque<PackageFile> one = {File(L"game.exe", 5000, L"0123456789ABCDEF0123456789ABCDEF")};
    disk.Add(kFolder + L"game.exe", 5000, kMd5A);
    EXPECT_EQ(Detect(one).state, kInitialComplete);
}

TEST_F(RestoreTest, AFileWithoutADigestFailsTheMd5Check) {
    std::deque<PackageFile> one = {File(L"game.exe", 5000, L"")};
    disk.Add(kFolder + L"game.exe", 5000, L"");
    EXPECT_TRUE(Detect(one).discardSavedFolder);
}

TEST_F(RestoreTest, AGoneOrUnsavedFolderIsAFreshStartWithNothingTouched) {
    disk.Add(L"E:\\gone\\a.bin", 1000, kMd5A);
    for (const std::wstring& saved : {std::wstring(L"E:\\gone\\"), std::wstring()}) {
        RestoredRun run = Detect(ThreeFiles(), L"1", saved);
        EXPECT_EQ(run.state, kInitialNothing);
        EXPECT_FALSE(run.discardSavedFolder);
        EXPECT_TRUE(run.targetFolder.empty());
    }
}

TEST_F(RestoreTest, AFolderWithNothingOfThePackageIsAFreshStart) {
    RestoredRun run = Detect(ThreeFiles());
    EXPECT_EQ(run.state, kInitialNothing);
    EXPECT_FALSE(run.discardSavedFolder);
    EXPECT_TRUE(run.targetFolder.empty());
}

TEST_F(RestoreTest, TheSavedFolderGetsItsBackslash) {
    disk.AddFolder(L"D:\\games");
    disk.Add(L"D:\\games\\a.bin.P2P", 1);
    RestoredRun run = Detect(ThreeFiles(), L"1", L"D:\\games");
    EXPECT_EQ(run.state, kInitialPartial);
    EXPECT_EQ(run.targetFolder, L"D:\\games\\");
}

// The run stops at the first file that is not finished: later files never make the package
// look complete, and what is counted is always the front of the list.
TEST_F(RestoreTest, AMissingFileBeforeFinishedOnesStopsTheWalk) {
    disk.Add(kFolder + L"b.bin", 2000, kMd5B);
    disk.Add(kFolder + L"c.bin", 3000, kMd5C);
    RestoredRun run = Detect(ThreeFiles());
    EXPECT_EQ(run.state, kInitialNothing);
    EXPECT_EQ(run.completedFiles, 0u);

    disk.Add(kFolder + L"a.bin", 1000, kMd5A);
    disk.Add(kFolder + L"b.bin", 2000, kMd5B);
    disk.Add(kFolder + L"c.bin.P2P", 1);
    std::deque<PackageFile> files = ThreeFiles();
    files.push_back(File(L"d.bin", 4000, kMd5A));
    run = Detect(files);
    EXPECT_EQ(run.state, kInitialSomeFiles);  // c is finished, d never started
    EXPECT_EQ(run.completedFiles, 3u);
}

TEST_F(RestoreTest, AStalePartialBesideAFinishedFileIsNotWhereTheRunStopped) {
    disk.Add(kFolder + L"a.bin", 1000, kMd5A);
    disk.Add(kFolder + L"a.bin.P2P", 10);
    RestoredRun run = Detect(ThreeFiles(), L"0");
    EXPECT_EQ(run.state, kInitialSomeFiles);
    EXPECT_EQ(run.currentFile.link, ThreeFiles()[1].link);
}

TEST_F(RestoreTest, NamesThatLeaveTheFolderAreNeverLookedAt) {
    std::deque<PackageFile> hostile = {File(L"a.bin", 1000, kMd5A),
                                       File(L"..\\..\\Windows\\x.dll", 5, kMd5B)};
    hostile[1].link = L"http://cdn.example.com/..\\..\\Windows\\x.dll";
    disk.Add(kFolder + L"a.bin", 999, kMd5A);  // wrong: would discard
    RestoredRun run = Detect(hostile);
    EXPECT_EQ(run.state, kInitialNothing);
    EXPECT_FALSE(run.discardSavedFolder);
}

TEST(RestoredPercent, StaysInRange) {
    EXPECT_EQ(RestoredPercent(0, 0), 0);
    EXPECT_EQ(RestoredPercent(5, 0), 0);
    EXPECT_EQ(RestoredPercent(1, 3), 33);
    EXPECT_EQ(RestoredPercent(UINT64_MAX / 2, UINT64_MAX), 49);
    EXPECT_EQ(RestoredPercent(10, 10), 100);
}

}  // namespace

// Where a download starts, a file already there spares the transfer only when it is whole:
// any check setting but "0" asks for the size and the MD5 both.
TEST(FoundFile, IsCompleteOnlyWithRightSizeAndDigestUnlessChecksAreOff) {
    CFakeFolder disk;
    PackageFile file = File(L"a.bin", 1000, kMd5A);
    const std::wstring path = kFolder + L"a.bin";
    EXPECT_FALSE(IsFoundFileComplete(disk, path, file, L"1"));
    disk.Add(path, 1000, kMd5A);
    EXPECT_TRUE(IsFoundFileComplete(disk, path, file, L"1"));
    EXPECT_TRUE(IsFoundFileComplete(disk, path, file, L""));
    EXPECT_FALSE(IsFoundFileComplete(disk, path, file, L"0"));
    disk.Add(path, 1000, kMd5B);
    EXPECT_FALSE(IsFoundFileComplete(disk, path, file, L"2"));
    disk.Add(path, 999, kMd5A);
    EXPECT_FALSE(IsFoundFileComplete(disk, path, file, L"1"));
}

// A file of a signed release is judged by its whole-file SHA-256, whatever `safecheck` says
// and whatever its MD5 text: a file swapped with its MD5 text is still caught.
TEST(SignedFile, IsValidOnlyWithTheSignedHash) {
    CFakeFolder disk;
    const std::wstring signedHash(64, L'5');
    PackageFile file = File(L"a.bin", 1000, kMd5A);
    file.extra = signedHash;
    const std::wstring path = kFolder + L"a.bin";
    disk.Add(path, 1000, kMd5A, std::wstring(64, L'6'));
    for (const wchar_t* safecheck : {L"1", L"0", L""}) {
        EXPECT_FALSE(IsPackageFileValid(disk, path, file, safecheck)) << safecheck;
        EXPECT_FALSE(IsFoundFileComplete(disk, path, file, safecheck)) << safecheck;
    }
    disk.Add(path, 1000, kMd5B, signedHash);
    for (const wchar_t* safecheck : {L"1", L"0", L""}) {
        EXPECT_TRUE(IsPackageFileValid(disk, path, file, safecheck)) << safecheck;
        EXPECT_TRUE(IsFoundFileComplete(disk, path, file, safecheck)) << safecheck;
    }
    disk.Add(path, 999, kMd5A, signedHash);
    EXPECT_FALSE(IsPackageFileValid(disk, path, file, L"1"));
    // Restoring a signed package re-checks what it finds: a changed file discards the run.
    disk.AddFolder(kFolder);
    disk.Add(path, 1000, kMd5A, std::wstring(64, L'6'));
    EXPECT_TRUE(DetectRestoredRun(disk, kFolder, {file}, L"0").discardSavedFolder);
}
