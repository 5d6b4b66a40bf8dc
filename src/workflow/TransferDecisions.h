#pragma once
// The download window's decisions about starting, resuming and ending a file's transfer.
// Portable: the window gathers the facts, asks here, and carries out the answer.

#include <cstdint>

// What the resume button does.
struct ResumeFacts {
    bool targetExists = false;      // the current file is complete in the folder
    bool partialExists = false;     // its partial file is there
    bool mainTaskExists = false;    // the engine holds a task for it
    uint64_t mainDone = 0;          // what that task has written
    bool companionPending = false;  // the companion is ticked, has a task and has not ended
    bool nextFileWaiting = false;   // a file's turn came while paused: it has not started
    bool restoreFlag = false;       // start-up found some files complete
    bool pendingEmpty = true;
};

enum class ResumeAction {
    kRecreateAndResume,  // the file finished while paused: new tasks over the same target
    kResume,             // the tasks go on where they stopped
    kStartNextFile,      // no transfer yet for the front file: start it
    kDamaged,            // nothing to go on with: the damaged-file prompt
};

// A task that has not written anything yet has no partial file, and a game task that waits
// for the companion has never started: both simply go on.
ResumeAction DecideResume(const ResumeFacts& facts);

// What a start command from the next-file worker does.
enum class NextFileAction {
    kIgnore,  // the worker is being stopped, or the program is ending
    kDefer,   // the user paused: the file waits for resume, its turn held meanwhile
    kStart,
};

NextFileAction DecideNextFile(bool closing, bool workerStopping, bool userPaused);

// What the progress timer does with a main task that left state 0.
enum class FileEnd {
    kVerify,       // finished and its file is there
    kWaitForFile,  // finished, the file appears a moment later
    kFailed,       // the task ended without success
};

FileEnd DecideFileEnd(int mainState, bool targetExists);
