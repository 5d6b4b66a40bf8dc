#pragma once
// Probes of volumes: their file system and their free space.

#include <cstdint>
#include <string>

#include "probes/ProbeRules.h"

// True when the folder's volume uses FAT or FAT32, or when the folder does not exist.
bool IsFatVolume(const std::wstring& folder);

// True when the folder's volume cannot take `required` bytes, when the folder is missing, or
// when the volume cannot be queried. A partly downloaded `fileName` in the folder (one with
// the engine's ".P2P" file beside it, which holds the bytes fetched so far) counts as
// already present.
bool IsDiskSpaceShort(const std::wstring& folder, uint64_t required, const std::wstring& fileName);

// What IsDiskSpaceShort decides on, for `fileName` in `folder`.
DiskSpaceFacts GatherDiskSpaceFacts(const std::wstring& folder, const std::wstring& fileName);

// All free bytes of the volume holding `path` (not only the caller's quota).
bool GetVolumeFreeBytes(const std::wstring& path, uint64_t* freeBytes);
