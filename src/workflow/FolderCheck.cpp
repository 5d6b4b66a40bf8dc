#include "workflow/FolderCheck.h"

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
            return L"磁盘格式为FAT32，无法保存大于4GB的文件，请更换为NTFS格式分区！";
        case FolderVerdict::kNoPermission:
            return L"所选目录没有读写权限，请您重新选择目录!";
        case FolderVerdict::kSpaceShort:
            return L"磁盘空间不足，请您重新选择目录!";
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
