#include "probes/VolumeProbes.h"

#include <windows.h>

#include "probes/FileProbes.h"
#include "probes/ProbeRules.h"

namespace {

// "D:\" for any path on drive D; the volume mount point for other paths.
std::wstring VolumeRoot(const std::wstring& folder) {
    size_t colon = folder.find(L':');
    if (colon != std::wstring::npos) return folder.substr(0, colon + 1) + L"\\";
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(folder.c_str(), root, MAX_PATH)) return std::wstring();
    return root;
}

}  // namespace

bool IsFatVolume(const std::wstring& folder) {
    if (!FileExists(folder.c_str())) return true;
    std::wstring root = VolumeRoot(folder);
    wchar_t fileSystem[256] = {};
    if (root.empty() || !GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr,
                                               fileSystem, 255))
        return false;
    std::wstring name = fileSystem;
    return name == L"FAT" || name == L"FAT32";
}

bool GetVolumeFreeBytes(const std::wstring& path, uint64_t* freeBytes) {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, &total, &free)) return false;
    *freeBytes = free.QuadPart;
    return true;
}

DiskSpaceFacts GatherDiskSpaceFacts(const std::wstring& folder, const std::wstring& fileName) {
    DiskSpaceFacts facts;
    facts.folderExists = FileExists(folder.c_str());
    if (facts.folderExists) facts.volumeQueried = GetVolumeFreeBytes(folder, &facts.freeBytes);
    std::wstring target = folder + fileName;
    std::wstring partial = target + L".P2P";
    facts.partialFileExists = facts.folderExists && FileExists(partial.c_str());
    if (facts.partialFileExists) {
        facts.targetFileSize = GetFileSize64(target.c_str());
        facts.partialFileSize = GetFileSize64(partial.c_str());
    }
    return facts;
}

bool IsDiskSpaceShort(const std::wstring& folder, uint64_t required, const std::wstring& fileName) {
    return IsSpaceShort(GatherDiskSpaceFacts(folder, fileName), required);
}
