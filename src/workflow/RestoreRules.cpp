#include "workflow/RestoreRules.h"

#include "base/Md5.h"
#include "config/PackageFileName.h"
#include "workflow/ButtonModes.h"
#include "workflow/FolderCheck.h"

bool HasRightSize(const IFolderView& view, const std::wstring& path, const PackageFile& file) {
    if (!view.FileExists(path)) return false;
    uint64_t size = view.FileSize(path);
    return size != 0 && size == file.size;
}

bool Md5Matches(const IFolderView& view, const std::wstring& path, const PackageFile& file) {
    std::wstring text = view.Md5Text(path);
    return !text.empty() && DigestTextsMatch(text, file.md5);
}

bool IsSignedFile(const PackageFile& file) { return !file.extra.empty(); }

bool Sha256Matches(const IFolderView& view, const std::wstring& path, const PackageFile& file) {
    std::wstring text = view.Sha256Text(path);
    return !text.empty() && text == file.extra;
}

bool IsPackageFileValid(const IFolderView& view, const std::wstring& path, const PackageFile& file,
                        const std::wstring& safecheck) {
    if (!HasRightSize(view, path, file)) return false;
    if (IsSignedFile(file)) return Sha256Matches(view, path, file);
    return safecheck != L"1" || Md5Matches(view, path, file);
}

bool IsFoundFileComplete(const IFolderView& view, const std::wstring& path, const PackageFile& file,
                         const std::wstring& safecheck) {
    if (IsSignedFile(file)) return HasRightSize(view, path, file) && Sha256Matches(view, path, file);
    if (safecheck == L"0" || !view.FileExists(path)) return false;
    return HasRightSize(view, path, file) && Md5Matches(view, path, file);
}

RestoredRun DetectRestoredRun(const IFolderView& view, const std::wstring& savedFolder,
                              const std::deque<PackageFile>& files, const std::wstring& safecheck) {
    RestoredRun run;
    if (savedFolder.empty() || files.empty() || !view.FolderExists(savedFolder)) return run;
    // Names come from the network; one that could lead out of the folder is not looked for.
    if (!ArePackageFileNamesSafe(files)) return run;
    std::wstring folder = WithTrailingBackslash(savedFolder);
    for (const PackageFile& file : files) {
        std::wstring name;
        PackageFileNameOf(file, &name);
        std::wstring path = folder + name;
        run.currentFile = file;
        if (view.FileExists(path)) {
            if (!IsPackageFileValid(view, path, file, safecheck)) {
                RestoredRun discarded;
                discarded.targetFolder = folder;
                discarded.currentFile = file;
                discarded.discardSavedFolder = true;
                return discarded;
            }
            run.completedBytes += file.size;
            ++run.completedFiles;
            continue;
        }
        // Files are fetched in order: the first one not finished is where the run stopped.
        if (view.FileExists(path + L".P2P")) {
            run.state = kInitialPartial;
        } else if (run.completedFiles > 0) {
            run.state = kInitialSomeFiles;
        }
        if (run.state != kInitialNothing) run.targetFolder = folder;
        return run;
    }
    run.state = kInitialComplete;
    run.targetFolder = folder;
    return run;
}

int RestoredPercent(uint64_t completed, uint64_t total) {
    if (total == 0) return 0;
    if (completed >= total) return 100;
    // Wide enough that no package size can overflow the product.
    return static_cast<int>(static_cast<unsigned __int128>(completed) * 100 / total);
}
