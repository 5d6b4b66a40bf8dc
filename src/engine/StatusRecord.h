#pragma once
// The 596-byte status record that QueryTask fills. The caller zero-fills it; the engine
// writes only these fields (little-endian):
//    8  u64  total size in bytes (0 while unknown)
//   16  u64  bytes downloaded and written (never counts duplicates)
//   24  u64  duplicate bytes received in the endgame (engine's own)
//   32  u64  bytes received on the wire, heads included (engine's own)
//   40  u64  bytes the task found complete in its partial file when it started (engine's own)
//   48  u64  bytes that came from peers (engine's own)
//   60  u32  origin speed, bytes per second
//   64  u32  speed of every other source (seed servers and peers), bytes per second
//   69  u8   state: 0 running or paused, 1 finished, 2 no source can deliver, 3 file error
//   70  u8   1 while the task downloads through the swarm (engine's own)
//   72  u32  peers' part of the second speed (engine's own)
//   76  u32  upload speed to peers (engine's own)
//   80  u64  bytes uploaded to peers (engine's own)
//   88  u64  bytes of pieces that failed their hash check (engine's own)
//   96  u32  peers banned for sending bad data (engine's own)

#include <cstring>

#include "engine/TransferTask.h"

namespace vexa::engine {

const size_t kStatusRecordSize = 596;

inline void FillStatusRecord(const TaskStatus& s, unsigned char* record) {
    uint64_t done = s.done > s.total ? s.total : s.done;
    std::memcpy(record + 8, &s.total, 8);
    std::memcpy(record + 16, &done, 8);
    std::memcpy(record + 24, &s.duplicateBytes, 8);
    std::memcpy(record + 32, &s.wireBytes, 8);
    std::memcpy(record + 40, &s.resumedBytes, 8);
    std::memcpy(record + 60, &s.originSpeed, 4);
    std::memcpy(record + 64, &s.seedSpeed, 4);
    record[69] = s.state;
    std::memcpy(record + 48, &s.peerBytes, 8);
    record[70] = s.swarm ? 1 : 0;
    std::memcpy(record + 72, &s.peerSpeed, 4);
    std::memcpy(record + 76, &s.uploadSpeed, 4);
    std::memcpy(record + 80, &s.uploadBytes, 8);
    std::memcpy(record + 88, &s.failedBytes, 8);
    std::memcpy(record + 96, &s.peersBanned, 4);
}

}  // namespace vexa::engine
