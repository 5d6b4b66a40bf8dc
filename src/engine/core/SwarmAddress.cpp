#include "engine/core/SwarmAddress.h"

namespace vexa::engine {

std::string TorrentAddressOf(const std::string& link) {
    const size_t query = link.find('?');
    if (query == std::string::npos) return link + ".torrent";
    return link.substr(0, query) + ".torrent" + link.substr(query);
}

TorrentFit JudgeTorrent(const TorrentFacts& facts, uint64_t maxFileSize) {
    if (facts.files != 1) return facts.files == 0 ? TorrentFit::kEmpty : TorrentFit::kSeveralFiles;
    if (facts.size == 0) return TorrentFit::kEmpty;
    if (facts.size > maxFileSize) return TorrentFit::kTooLarge;
    if (!facts.hasV1 && !facts.hasV2) return TorrentFit::kNoHashes;
    return TorrentFit::kUsable;
}

}  // namespace vexa::engine
