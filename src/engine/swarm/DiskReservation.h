#pragma once
// Room on the disk for a swarm download's whole file, claimed before the swarm writes to it.
// The swarm writes through a mapped view of the file; a write there that finds the disk full
// arrives as a fault in the middle of the transfer, which this build cannot recover from.
// Claimed up front, a full disk is an error the task reports at once (and a later start,
// after the user freed space, claims again).

#include <cstdint>
#include <string>

namespace vexa::engine {

// Allocates `size` bytes for the file at `path` (made when missing) without changing its
// length or its data. False when the disk has no room or the file cannot be opened.
bool ReserveFileSpace(const std::wstring& path, uint64_t size);

}  // namespace vexa::engine
