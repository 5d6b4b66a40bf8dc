#pragma once
// The decisions behind some environment probes, apart from the system queries that feed them
// (so they are tested with chosen facts).

#include <cstdint>
#include <functional>
#include <string>

// What IsDiskSpaceShort learns about a folder before it decides.
struct DiskSpaceFacts {
    bool folderExists = false;
    bool volumeQueried = false;      // the free-space query answered
    uint64_t freeBytes = 0;          // all free bytes of the volume, not only the user's share
    bool partialFileExists = false;  // the engine's ".P2P" file of an interrupted transfer
    uint64_t targetFileSize = 0;     // bytes of the target already on the disk
    uint64_t partialFileSize = 0;    // bytes of the ".P2P" file, where the engine keeps its data
};

// True when the volume cannot take `required` more bytes: the folder is missing, the volume
// cannot be queried, or the free bytes are not strictly more than required. For a partly
// downloaded target both the target and its ".P2P" file count as free: the finished file
// replaces them.
bool IsSpaceShort(const DiskSpaceFacts& facts, uint64_t required);

// True when `folder` lies inside the installation folder `productPath` of a security
// product: `productPath` is a prefix (compared without regard to case, as Windows compares
// paths) and the folder continues with a backslash, or ends there (white space around
// either aside). A product path written with a trailing backslash counts as its folder too.
bool IsInsideProductFolder(const std::wstring& folder, const std::wstring& productPath);

// The edge test of the full-screen probe for a screen of w x h pixels: true when each edge
// (top, right, bottom, left, in that order) has a covered point among its two samples.
bool AreScreenEdgesCovered(int width, int height, const std::function<bool(int x, int y)>& covered);
