#pragma once
// The download folder on this machine: the rules of DownloadFolderRules.h fed by the
// environment probes and the state file.

#include <cstdint>
#include <string>

#include "config/DownloadFolderRules.h"
#include "config/StateFile.h"

class CSystemFolderFacts : public IFolderFacts {
public:
    uint32_t LogicalDrives() override;
    bool IsFatVolume(const std::wstring& folder) override;
    bool CanCreateFolder(const std::wstring& folder) override;
    bool IsOutsideSecurityProducts(const std::wstring& folder) override;
    uint64_t FreeBytes(const std::wstring& drive) override;
    bool PathExists(const std::wstring& path) override;
    bool IsDiskSpaceShort(const std::wstring& folder, uint64_t required,
                          const std::wstring& fileName) override;
    bool CreateFolder(const std::wstring& folder) override;
};

std::wstring PickDownloadDrive(uint64_t totalSize, const std::wstring& firstPartName);

// The folder kept in `state` when the download is still there, else the default folder.
bool ChooseDownloadFolder(const CStateFile& state, uint64_t totalSize,
                          const std::wstring& firstPartName, std::wstring* folder);

// The same with the program's own state file.
bool ChooseDownloadFolder(std::wstring* folder, uint64_t totalSize,
                          const std::wstring& firstPartName);
