#include "workflow/FolderCheck.h"

#include "config/PackageFileName.h"
#include "workflow/FinishRules.h"
#include "workflow/WorkflowTexts.h"

std::wstring WithTrailingBackslash(const std::wstring& folder) {
    if (!folder.empty() && folder.back() == L'\\') return folder;
    return folder + L"\\";
}

FolderVerdict CheckDownloadFolder(IFolderFacts& facts, const FolderRequest& request) {
    std::wstring folder = WithTrailingBackslash(request.folder);
    if (request.needsLargeFiles && facts.IsFatVolume(folder)) return FolderVerdict::kFatVolume;
    // Write permission is tested by making a folder of the target's name there; when the
    // target is already there (a finished or earlier file), a name beside it is used.
    std::wstring probe = folder + request.fileName;
    if (facts.PathExists(probe)) probe += L".writetest";
    if (!facts.CanCreateFolder(probe) || !facts.IsOutsideSecurityProducts(folder)) {
        return FolderVerdict::kNoPermission;
    }
    if (facts.IsDiskSpaceShort(folder, request.requiredBytes, request.fileName)) {
        return FolderVerdict::kSpaceShort;
    }
    return FolderVerdict::kAccepted;
}

std::wstring FolderRefusalText(FolderVerdict verdict) {
    switch (verdict) {
        case FolderVerdict::kFatVolume:
            return kFatVolumeText;
        case FolderVerdict::kNoPermission:
            return kNoPermissionText;
        case FolderVerdict::kSpaceShort:
            return kSpaceShortText;
        default:
            return {};
    }
}

bool HasFileOverFatLimit(const std::deque<PackageFile>& files) {
    for (const PackageFile& file : files) {
        if (file.size > kFatFileLimit) return true;
    }
    return false;
}

uint64_t TotalSizeOf(const std::deque<PackageFile>& files) {
    uint64_t total = 0;
    for (const PackageFile& file : files) total += file.size;
    return total;
}

FolderRequest FolderChangeRequest(const std::deque<PackageFile>& files,
                                  const std::deque<PackageFile>& pending) {
    FolderRequest request;
    const std::deque<PackageFile>& source = pending.empty() ? files : pending;
    if (!source.empty()) PackageFileNameOf(source.front(), &request.fileName);
    request.requiredBytes = TotalSizeOf(files);
    request.needsLargeFiles = request.requiredBytes > kFatFileLimit;
    return request;
}

bool ShouldDiscardPreviousFolder(const IFolderView& view, const std::deque<PackageFile>& files,
                                 const std::wstring& previous, const std::wstring& chosen) {
    if (files.size() < 2 || previous.empty() || IsSameFolder(previous, chosen)) return false;
    std::wstring folder = WithTrailingBackslash(chosen);
    for (const PackageFile& file : files) {
        std::wstring name;
        PackageFileNameOf(file, &name);
        if (!view.FileExists(folder + name)) return true;
    }
    return false;
}
