#pragma once
// How the program chooses where a package goes: the best drive for a default folder, or the
// folder of an earlier run that still holds the download. The facts about drives, folders
// and free space come through IFolderFacts, so the rules are tested with chosen machines.

#include <cstdint>
#include <string>

// The largest file FAT32 holds: 4 GiB less one byte.
constexpr uint64_t kFatFileLimit = 4294967295;
constexpr wchar_t kDefaultFolderName[] = L"\\Vexadownloads\\";

class IFolderFacts {
public:
    virtual ~IFolderFacts() = default;
    virtual uint32_t LogicalDrives() = 0;  // bit 0 = A:, bit 1 = B:, ...
    virtual bool IsFatVolume(const std::wstring& folder) = 0;
    virtual bool CanCreateFolder(const std::wstring& folder) = 0;
    virtual bool IsOutsideSecurityProducts(const std::wstring& folder) = 0;
    virtual uint64_t FreeBytes(const std::wstring& drive) = 0;  // 0 when unknown
    virtual bool PathExists(const std::wstring& path) = 0;
    virtual bool IsDiskSpaceShort(const std::wstring& folder, uint64_t required,
                                  const std::wstring& fileName) = 0;
    virtual bool CreateFolder(const std::wstring& folder) = 0;
};

// Free space measured on two drives that differs by less than this counts as equal. One
// volume can stand under two letters (a subst drive, a mounted folder, Wine's Z: for the
// root that also holds C:), and its free space, asked for twice a moment apart while other
// programs write, differs by chance: the choice between its letters must not follow that.
constexpr uint64_t kSameFreeSpaceMargin = 256ull * 1024 * 1024;

// The drive ("X:") with the most free bytes among those that can take the package, the
// earliest on equal space (see kSameFreeSpaceMargin); empty when none can (drive A: is never
// considered).
std::wstring PickDownloadDrive(IFolderFacts& facts, uint64_t totalSize,
                               const std::wstring& firstPartName);

// The folder for the package: `savedFolder` (the state file's "Dir", empty when there is
// none) when the first part or its partial file is still there; otherwise drive +
// "\Vexadownloads\" on the picked drive, created when needed. False when no drive can take
// the package or the folder cannot be created.
bool ChooseDownloadFolder(IFolderFacts& facts, const std::wstring& savedFolder, uint64_t totalSize,
                          const std::wstring& firstPartName, std::wstring* folder);
