#include "config/DownloadFolderRules.h"

namespace {

bool CanTakePackage(IFolderFacts& facts, const std::wstring& drive, uint64_t totalSize,
                    const std::wstring& firstPartName) {
    if (totalSize > kFatFileLimit && facts.IsFatVolume(drive)) return false;
    std::wstring candidate = drive + L"\\" + firstPartName;
    return facts.CanCreateFolder(candidate) && facts.IsOutsideSecurityProducts(candidate);
}

bool HoldsEarlierDownload(IFolderFacts& facts, const std::wstring& folder,
                          const std::wstring& firstPartName) {
    if (folder.empty() || !facts.PathExists(folder)) return false;
    return facts.PathExists(folder + firstPartName + L".P2P") ||
           facts.PathExists(folder + firstPartName);
}

}  // namespace

std::wstring PickDownloadDrive(IFolderFacts& facts, uint64_t totalSize,
                               const std::wstring& firstPartName) {
    uint32_t drives = facts.LogicalDrives();
    std::wstring best;
    uint64_t bestFree = 0;
    for (int bit = 1; bit < 26; ++bit) {  // from B:; A: is a floppy drive
        if ((drives & (1u << bit)) == 0) continue;
        std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
        if (!CanTakePackage(facts, drive, totalSize, firstPartName)) continue;
        uint64_t free = facts.FreeBytes(drive);
        if (free > 0 && (best.empty() || free > bestFree + kSameFreeSpaceMargin)) {
            best = drive;
            bestFree = free;
        }
    }
    return best;
}

bool ChooseDownloadFolder(IFolderFacts& facts, const std::wstring& savedFolder, uint64_t totalSize,
                          const std::wstring& firstPartName, std::wstring* folder) {
    if (HoldsEarlierDownload(facts, savedFolder, firstPartName)) {
        *folder = savedFolder;
        return true;
    }
    std::wstring drive = PickDownloadDrive(facts, totalSize, firstPartName);
    if (facts.IsDiskSpaceShort(drive, totalSize, firstPartName)) return false;
    std::wstring candidate = drive + kDefaultFolderName;
    if (!facts.PathExists(candidate) && !facts.CreateFolder(candidate)) return false;
    *folder = candidate;
    return true;
}
