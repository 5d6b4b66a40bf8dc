#pragma once
// Where an earlier run of the download stopped, decided on what the saved folder holds, and
// the checks a finished package file must pass. Portable: the folder's contents come
// through IFolderView, so the rules can be tried on any table of files.

#include <cstdint>
#include <deque>
#include <string>

#include "config/PackageFile.h"

// What the rules may ask about the disk.
class IFolderView {
public:
    virtual ~IFolderView() = default;
    virtual bool FolderExists(const std::wstring& folder) const = 0;
    // A file (not a folder) is there.
    virtual bool FileExists(const std::wstring& path) const = 0;
    // The file's size in bytes; 0 when it is missing.
    virtual uint64_t FileSize(const std::wstring& path) const = 0;
    // The file's MD5 text as the integrity check computes it; empty when it has none.
    virtual std::wstring Md5Text(const std::wstring& path) const = 0;
    // The SHA-256 text of the whole file, lower case; empty when it has none.
    virtual std::wstring Sha256Text(const std::wstring& path) const = 0;
};

// The file is there, is not empty and has exactly the listed size.
bool HasRightSize(const IFolderView& view, const std::wstring& path, const PackageFile& file);

// The file's MD5 is the listed one; the digits compare without regard to case.
bool Md5Matches(const IFolderView& view, const std::wstring& path, const PackageFile& file);

// The file is one of a signed release: the release names it by its SHA-256.
bool IsSignedFile(const PackageFile& file);

// The file's SHA-256 is the one the signed release names.
bool Sha256Matches(const IFolderView& view, const std::wstring& path, const PackageFile& file);

// The verdict on a finished or found file: the right size, and then for a file of a signed
// release its SHA-256 (every byte, whatever `safecheck` says); otherwise, with `safecheck`
// exactly "1", the MD5.
bool IsPackageFileValid(const IFolderView& view, const std::wstring& path, const PackageFile& file,
                        const std::wstring& safecheck);

// A file already where a download starts is taken as complete, with no transfer, only when
// checks are not switched off (`safecheck` "0") and both its size and its MD5 match; a file
// of a signed release only when its size and SHA-256 match.
bool IsFoundFileComplete(const IFolderView& view, const std::wstring& path, const PackageFile& file,
                         const std::wstring& safecheck);

struct RestoredRun {
    int state = 0;              // an InitialState value
    std::wstring targetFolder;  // the saved folder with its backslash; empty with nothing found
    uint64_t completedBytes = 0;
    size_t completedFiles = 0;        // finished files at the front of the package
    PackageFile currentFile;          // the file the download goes on with
    bool discardSavedFolder = false;  // a found file was wrong: the package starts over
};

// Walks the package's files in order in `savedFolder`. The finished files at its front are
// counted; the first file that is not finished decides: its partial file makes state 1,
// otherwise state 4 when some files were counted, else 0. Every file finished is state 2.
// A finished file that fails its check discards the package (state 0). A folder that is
// gone, or a package whose names are not plain file names, gives state 0 with nothing
// touched.
RestoredRun DetectRestoredRun(const IFolderView& view, const std::wstring& savedFolder,
                              const std::deque<PackageFile>& files, const std::wstring& safecheck);

// The percent shown for `completed` of `total` bytes; 0 for an empty package.
int RestoredPercent(uint64_t completed, uint64_t total);
