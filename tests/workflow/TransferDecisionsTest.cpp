#include <gtest/gtest.h>

#include "FakeFolder.h"
#include "prompts/PromptResult.h"
#include "workflow/CompanionChoice.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/FinishRules.h"
#include "workflow/FolderCheck.h"
#include "workflow/TransferDecisions.h"

namespace {

ResumeFacts Paused() {
    ResumeFacts facts;
    facts.pendingEmpty = false;
    return facts;
}

}  // namespace

TEST(DecideResume, EachSituationOfAPausedDownload) {
    struct Case {
        const char* what;
        ResumeFacts facts;
        ResumeAction expected;
    };
    ResumeFacts finished = Paused();
    finished.targetExists = true;
    finished.partialExists = true;  // an old partial file beside it does not matter
    ResumeFacts partial = Paused();
    partial.partialExists = true;
    // The game task waits for the companion: it never started, so it has no partial file.
    ResumeFacts companion = Paused();
    companion.mainTaskExists = true;
    companion.companionPending = true;
    ResumeFacts fresh = Paused();
    fresh.mainTaskExists = true;
    ResumeFacts restored = Paused();
    restored.restoreFlag = true;
    ResumeFacts restoredDone = restored;
    restoredDone.pendingEmpty = true;
    ResumeFacts waiting = finished;  // the previous file is done, the next one's turn came
    waiting.nextFileWaiting = true;
    ResumeFacts lost = Paused();  // a task that had written, and its partial file is gone
    lost.mainTaskExists = true;
    lost.mainDone = 5000;
    const Case cases[] = {
        {"finished while paused", finished, ResumeAction::kRecreateAndResume},
        {"partial file", partial, ResumeAction::kResume},
        {"companion still downloading", companion, ResumeAction::kResume},
        {"task that has not written yet", fresh, ResumeAction::kResume},
        {"restored package", restored, ResumeAction::kStartNextFile},
        {"next file waits for resume", waiting, ResumeAction::kStartNextFile},
        {"restored, nothing left", restoredDone, ResumeAction::kDamaged},
        {"partial file lost", lost, ResumeAction::kDamaged},
        {"nothing at all", Paused(), ResumeAction::kDamaged},
    };
    for (const Case& c : cases) EXPECT_EQ(DecideResume(c.facts), c.expected) << c.what;
}

TEST(DecideNextFile, APauseHoldsTheNextFileAndAnEndingWindowIgnoresIt) {
    EXPECT_EQ(DecideNextFile(false, false, false), NextFileAction::kStart);
    EXPECT_EQ(DecideNextFile(false, false, true), NextFileAction::kDefer);
    EXPECT_EQ(DecideNextFile(true, false, false), NextFileAction::kIgnore);
    EXPECT_EQ(DecideNextFile(false, true, true), NextFileAction::kIgnore);
}

TEST(DecideFileEnd, OnlyStateOneIsASuccessAndItsFileMayComeLater) {
    EXPECT_EQ(DecideFileEnd(1, true), FileEnd::kVerify);
    EXPECT_EQ(DecideFileEnd(1, false), FileEnd::kWaitForFile);
    EXPECT_EQ(DecideFileEnd(2, true), FileEnd::kFailed);
    EXPECT_EQ(DecideFileEnd(255, false), FileEnd::kFailed);
}

TEST(DecideCompanionBox, PromptsOnlyWhereTheClickContradictsTheMachine) {
    EXPECT_EQ(DecideCompanionBox(true, true), CompanionBoxAction::kSayInstalled);
    EXPECT_EQ(DecideCompanionBox(false, false), CompanionBoxAction::kAskBeforeDropping);
    EXPECT_EQ(DecideCompanionBox(true, false), CompanionBoxAction::kKeep);
    EXPECT_EQ(DecideCompanionBox(false, true), CompanionBoxAction::kKeep);
}

// The damaged-file prompt's button must lead somewhere: before, it only stopped the worker
// and left the install button, which led back to the same prompt.
TEST(DecideDamagedFile, ItsButtonDownloadsThePackageAgain) {
    CheckFailedOutcome again = DecideDamagedFile(kPromptExtraButton);
    EXPECT_TRUE(again.stopWorker);
    EXPECT_EQ(again.command, static_cast<unsigned>(kRedownloadCommand));
    for (int result : {kPromptClosed, kPromptSecondButton, kPromptUnanswered}) {
        CheckFailedOutcome none = DecideDamagedFile(result);
        EXPECT_FALSE(none.stopWorker);
        EXPECT_EQ(none.command, 0u);
    }
}

TEST(FolderChange, ChecksThePendingFrontAgainstTheWholePackage) {
    std::deque<PackageFile> files(2);
    files[0] = {3000, L"http://h/a/one.bin", L""};
    files[1] = {4294967296ull, L"http://h/a/two.bin", L""};
    FolderRequest all = FolderChangeRequest(files, {});
    EXPECT_EQ(all.fileName, L"one.bin");
    EXPECT_EQ(all.requiredBytes, 4294970296ull);
    EXPECT_TRUE(all.needsLargeFiles);
    FolderRequest rest = FolderChangeRequest(files, {files[1]});
    EXPECT_EQ(rest.fileName, L"two.bin");
    EXPECT_EQ(rest.requiredBytes, all.requiredBytes);
}

TEST(FolderChange, TheEarlierFolderGoesOnlyWhenTheNewOneLacksAFileOfSeveral) {
    std::deque<PackageFile> files(2);
    files[0] = {10, L"http://h/one.bin", L""};
    files[1] = {20, L"http://h/two.bin", L""};
    CFakeFolder disk;
    disk.Add(L"E:\\New\\one.bin", 10);
    EXPECT_TRUE(ShouldDiscardPreviousFolder(disk, files, L"D:\\Old\\", L"E:\\New"));
    disk.Add(L"E:\\New\\two.bin", 20);
    EXPECT_FALSE(ShouldDiscardPreviousFolder(disk, files, L"D:\\Old\\", L"E:\\New\\"));
    CFakeFolder empty;
    EXPECT_FALSE(ShouldDiscardPreviousFolder(empty, files, L"d:\\old", L"D:\\Old\\"));
    EXPECT_FALSE(ShouldDiscardPreviousFolder(empty, files, L"", L"E:\\New\\"));
    EXPECT_FALSE(ShouldDiscardPreviousFolder(empty, {files[0]}, L"D:\\Old\\", L"E:\\New\\"));
}
