#include "TorrentCheck.h"

#include <algorithm>
#include <libtorrent/hasher.hpp>
#include <libtorrent/torrent_info.hpp>

#include "engine/core/SwarmAddress.h"
#include "engine/core/TaskUrl.h"
#include "engine/swarm/TorrentFactsOf.h"

namespace publish {

CTorrentCheck::CTorrentCheck() = default;
CTorrentCheck::~CTorrentCheck() = default;

std::string CTorrentCheck::Load(const std::string& bytes, uint64_t listedSize,
                                const std::string& link) {
    lt::error_code code;
    auto info = vexa::engine::ReadTorrent(bytes, code);
    if (!info) return "not a torrent: " + code.message();
    const vexa::engine::TorrentFacts facts = vexa::engine::TorrentFactsOf(*info);
    switch (vexa::engine::JudgeTorrent(facts, UINT64_MAX)) {
        case vexa::engine::TorrentFit::kUsable:
            break;
        case vexa::engine::TorrentFit::kSeveralFiles:
            return "describes several files";
        case vexa::engine::TorrentFit::kEmpty:
            return "describes no data";
        case vexa::engine::TorrentFit::kTooLarge:
            return "too large";
        case vexa::engine::TorrentFit::kNoHashes:
            return "carries no piece hashes";
    }
    if (facts.size != listedSize)
        return "describes " + std::to_string(facts.size) + " bytes, the document lists " +
               std::to_string(listedSize);
    if (!facts.hasV2) return "no SHA-256 (v2) piece hashes";
    if (!facts.hasV1) return "no SHA-1 (v1) piece hashes: older peers cannot take part";
    const std::string wire = vexa::engine::EncodeLinkForWire(link);
    const auto& seeds = info->web_seeds();
    if (std::none_of(seeds.begin(), seeds.end(),
                     [&](const lt::web_seed_entry& seed) { return seed.url == wire; }))
        return "the link is not among its web seeds";
    info_ = info;
    return std::string();
}

void CTorrentCheck::BeginTail(uint64_t first) {
    offset_ = first;
    piece_.clear();
    checked_ = 0;
    problem_.clear();
}

void CTorrentCheck::Update(const char* data, size_t size) {
    if (!info_) return;
    const uint64_t pieceLength = static_cast<uint64_t>(info_->piece_length());
    while (size > 0 && problem_.empty()) {
        // Bytes before the first whole piece of the tail cannot be checked.
        if (piece_.empty() && offset_ % pieceLength != 0) {
            const size_t skip =
                static_cast<size_t>(std::min<uint64_t>(size, pieceLength - offset_ % pieceLength));
            data += skip;
            size -= skip;
            offset_ += skip;
            continue;
        }
        const lt::piece_index_t index(static_cast<int>((offset_ - piece_.size()) / pieceLength));
        const size_t whole = static_cast<size_t>(info_->piece_size(index));
        const size_t take = std::min(size, whole - piece_.size());
        piece_.append(data, take);
        data += take;
        size -= take;
        offset_ += take;
        if (piece_.size() == whole) CheckPiece(index);
    }
}

void CTorrentCheck::CheckPiece(lt::piece_index_t index) {
    if (lt::hasher(piece_).final() != info_->hash_for_piece(index))
        problem_ = "piece " + std::to_string(static_cast<int>(index)) + " does not match its hash";
    ++checked_;
    piece_.clear();
}

std::string CTorrentCheck::FinishTail() {
    if (!info_) return "no torrent";
    if (!problem_.empty()) return problem_;
    if (!piece_.empty()) return "the tail ended inside a piece";
    return std::string();
}

}  // namespace publish
