#include "config/DownloadFolder.h"

#include <windows.h>

#include "probes/FileProbes.h"
#include "probes/ProductProbes.h"
#include "probes/VolumeProbes.h"

uint32_t CSystemFolderFacts::LogicalDrives() { return GetLogicalDrives(); }

bool CSystemFolderFacts::IsFatVolume(const std::wstring& folder) { return ::IsFatVolume(folder); }

bool CSystemFolderFacts::CanCreateFolder(const std::wstring& folder) {
    return ::CanCreateFolder(folder.c_str());
}

bool CSystemFolderFacts::IsOutsideSecurityProducts(const std::wstring& folder) {
    return ::IsOutsideSecurityProducts(folder);
}

uint64_t CSystemFolderFacts::FreeBytes(const std::wstring& drive) {
    uint64_t free = 0;
    return GetVolumeFreeBytes(drive, &free) ? free : 0;
}

bool CSystemFolderFacts::PathExists(const std::wstring& path) { return FileExists(path.c_str()); }

bool CSystemFolderFacts::IsDiskSpaceShort(const std::wstring& folder, uint64_t required,
                                          const std::wstring& fileName) {
    return ::IsDiskSpaceShort(folder, required, fileName);
}

bool CSystemFolderFacts::CreateFolder(const std::wstring& folder) {
    return CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}

std::wstring PickDownloadDrive(uint64_t totalSize, const std::wstring& firstPartName) {
    CSystemFolderFacts facts;
    return PickDownloadDrive(facts, totalSize, firstPartName);
}

bool ChooseDownloadFolder(const CStateFile& state, uint64_t totalSize,
                          const std::wstring& firstPartName, std::wstring* folder) {
    CSystemFolderFacts facts;
    return ChooseDownloadFolder(facts, state.LoadDownloadFolder(), totalSize, firstPartName,
                                folder);
}
