#pragma once
// What the download window does with a finished package: which program install starts,
// what opening the folder shows, what the answer to the failed-check prompt leads to, and
// which files re-download and discard may delete. Portable.
//
// Every name comes from the configuration document, fetched over plain HTTP: a path built
// here never leaves the download folder.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "config/PackageFile.h"
#include "workflow/RestoreRules.h"

// True for a program named relative to the download folder and inside it: one or more plain
// file names joined by "\" (no drive, no UNC or rooted path, no "." or "..", no "/").
bool IsProgramInsideFolder(const std::wstring& relative);

enum class InstallProblem {
    kNone,
    kDamaged,    // a one-file package: its file is missing or failed its check
    kFileError,  // a package of several files: the program to start is missing or unusable
};

struct InstallPlan {
    std::wstring program;  // the file to start; empty with a problem
    InstallProblem problem = InstallProblem::kNone;
};

// A one-file package starts its only file, a larger one `gameStart`. `checkFailed`: a file of
// the package failed its check since the last start of a download; what failed it is never
// started.
InstallPlan PlanInstall(const IFolderView& view, const std::wstring& folder,
                        const std::deque<PackageFile>& files, const std::wstring& gameStart,
                        bool checkFailed);

enum class OpenFolderAction { kFailed, kSelect, kOpen };

struct OpenFolderPlan {
    OpenFolderAction action = OpenFolderAction::kFailed;
    std::wstring path;  // the file to select, or the folder to open
};

// A missing folder fails; otherwise the front pending file's partial file, or else the file
// itself, is selected when it is there, and the folder is opened plainly when neither is.
OpenFolderPlan PlanOpenFolder(const IFolderView& view, const std::wstring& folder,
                              const std::deque<PackageFile>& pending);

// What follows the failed-check prompt's result.
struct CheckFailedOutcome {
    bool stopWorker = false;
    int buttonMode = -1;   // -1 leaves the mode as it is
    unsigned command = 0;  // 0, or the command sent to the window (16 open folder, 20 re-download)
};

CheckFailedOutcome DecideCheckFailed(int result, size_t packageFiles, size_t pendingFiles);

// What follows the damaged-file prompt ("下载文件被破坏，请重新下载!"): its button downloads the
// package again, the way the re-download button does.
CheckFailedOutcome DecideDamagedFile(int result);

// True when both name the same folder: ASCII letters compare without regard to case, and a
// trailing backslash does not count.
bool IsSameFolder(const std::wstring& a, const std::wstring& b);

// The package's own files in `folder` (a drive or UNC path): folder + name for each file whose
// name is a plain file name, and with `withPartials` also its partial file, the partial
// file's progress record and the record's temporary copy. Empty for any other folder.
std::vector<std::wstring> PackageFilePaths(const std::wstring& folder,
                                           const std::deque<PackageFile>& files, bool withPartials);
