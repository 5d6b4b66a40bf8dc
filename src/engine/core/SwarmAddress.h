#pragma once
// Where a package file's swarm description lives, and the names the swarm gives the file on
// disk while it is unfinished.

#include <cstdint>
#include <string>

namespace vexa::engine {

// The link's path + ".torrent", its query kept: the publisher stages the torrent there, so
// a document needs no new key and copies that know nothing of swarms are unaffected.
std::string TorrentAddressOf(const std::string& link);

// What the engine needs to know of a torrent before it trusts it with a task's file.
struct TorrentFacts {
    int files = 0;  // pad files not counted
    uint64_t size = 0;
    bool hasV2 = false;  // SHA-256 piece hashes
    bool hasV1 = false;
};

enum class TorrentFit {
    kUsable,
    kSeveralFiles,  // a package file is one file; anything else is another publication
    kEmpty,
    kTooLarge,      // beyond the engine's size limit, as a server's word would be
    kNoHashes,      // neither v1 nor v2 pieces: nothing to check a piece against
};

TorrentFit JudgeTorrent(const TorrentFacts& facts, uint64_t maxFileSize);

}  // namespace vexa::engine
