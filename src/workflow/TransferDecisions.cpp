#include "workflow/TransferDecisions.h"

ResumeAction DecideResume(const ResumeFacts& facts) {
    if (facts.nextFileWaiting) return ResumeAction::kStartNextFile;
    if (facts.targetExists) return ResumeAction::kRecreateAndResume;
    if (facts.partialExists || facts.companionPending) return ResumeAction::kResume;
    if (facts.mainTaskExists && facts.mainDone == 0) return ResumeAction::kResume;
    if (facts.restoreFlag && !facts.pendingEmpty) return ResumeAction::kStartNextFile;
    return ResumeAction::kDamaged;
}

NextFileAction DecideNextFile(bool closing, bool workerStopping, bool userPaused) {
    if (closing || workerStopping) return NextFileAction::kIgnore;
    return userPaused ? NextFileAction::kDefer : NextFileAction::kStart;
}

FileEnd DecideFileEnd(int mainState, bool targetExists) {
    if (mainState != 1) return FileEnd::kFailed;
    return targetExists ? FileEnd::kVerify : FileEnd::kWaitForFile;
}
