#pragma once
// The swarm's description of one package file: a hybrid BitTorrent torrent (SHA-1 pieces for
// v1 peers, a SHA-256 merkle tree for v2 ones), whose web seeds are the file's link and its
// seed copies, published beside the file at the link + ".torrent" where the engine looks.

#include <cstdint>
#include <string>
#include <vector>

namespace publish {

struct TorrentRequest {
    std::string file;                  // the local file, named as its link names it
    std::vector<std::string> webSeeds;  // the link first, then the seed copies (http://)
    std::string tracker;                // announce address; empty: peers only by LSD and DHT
};

struct TorrentResult {
    std::string bytes;  // the bencoded torrent; empty when `error` says why
    std::string error;
    int pieceSize = 0;
};

// The same file and addresses give the same bytes (no creation date, a fixed creator).
TorrentResult MakeTorrent(const TorrentRequest& request);

// Pieces small enough that a lying source costs little and a web-seed request stays about
// one piece, large enough that the piece list of a large file stays short.
int TorrentPieceSize(uint64_t fileSize);

// Where the engine looks for a link's torrent: the link's path + ".torrent", query kept.
std::string TorrentAddressOf(const std::string& link);

}  // namespace publish
