#pragma once
// Whether a chosen folder can take the download, and the prompt text for each refusal.
// Portable: the facts about the machine come through IFolderFacts.

#include <cstdint>
#include <deque>
#include <string>

#include "config/DownloadFolderRules.h"
#include "config/PackageFile.h"
#include "workflow/RestoreRules.h"

enum class FolderVerdict {
    kAccepted,
    kFatVolume,     // a file larger than 4 GiB cannot go on FAT/FAT32 (or a missing folder)
    kNoPermission,  // the folder cannot be written, or lies in a security product's folder
    kSpaceShort,    // not enough free space
};

struct FolderRequest {
    std::wstring folder;           // as chosen; a backslash is added when it has none
    std::wstring fileName;         // the file that will be written first
    bool needsLargeFiles = false;  // some file (or the package) is larger than 4 GiB
    uint64_t requiredBytes = 0;
};

FolderVerdict CheckDownloadFolder(IFolderFacts& facts, const FolderRequest& request);

// The change-folder command's check: the front pending file (the package's first when none
// is pending) is written first, and the whole package must fit.
FolderRequest FolderChangeRequest(const std::deque<PackageFile>& files,
                                  const std::deque<PackageFile>& pending);

// After the user moved a package of several files to `chosen`: the earlier run's files in
// `previous` go when some file of the package is not in the new folder (the download starts
// over there). Choosing the saved folder again moves nothing.
bool ShouldDiscardPreviousFolder(const IFolderView& view, const std::deque<PackageFile>& files,
                                 const std::wstring& previous, const std::wstring& chosen);

// The CDirErrDlg text for a refusal; empty for kAccepted.
std::wstring FolderRefusalText(FolderVerdict verdict);

// The folder with one trailing backslash.
std::wstring WithTrailingBackslash(const std::wstring& folder);

// True when some file is too large for FAT32 (4 GiB or more).
bool HasFileOverFatLimit(const std::deque<PackageFile>& files);
uint64_t TotalSizeOf(const std::deque<PackageFile>& files);
