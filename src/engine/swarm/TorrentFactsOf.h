#pragma once
// A torrent read from its bytes, and the facts the engine judges it by (JudgeTorrent): shared
// by the engine, which trusts a task's file to it, and the publisher's check, which must
// judge a staged torrent exactly as the engine will.

#include <cstdint>
#include <libtorrent/torrent_info.hpp>
#include <memory>
#include <string>

#include "engine/core/SwarmAddress.h"

namespace vexa::engine {

// Null (and `error` set) when the bytes are no torrent.
inline std::shared_ptr<lt::torrent_info> ReadTorrent(const std::string& bytes,
                                                     lt::error_code& error) {
    auto info = std::make_shared<lt::torrent_info>(
        lt::span<const char>(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())), error,
        lt::from_span);
    return error ? nullptr : info;
}

inline TorrentFacts TorrentFactsOf(const lt::torrent_info& info) {
    TorrentFacts facts;
    const lt::file_storage& files = info.files();
    for (lt::file_index_t i : files.file_range()) {
        if (files.pad_file_at(i)) continue;
        ++facts.files;
        facts.size += static_cast<uint64_t>(files.file_size(i));
    }
    facts.hasV1 = info.info_hashes().has_v1();
    facts.hasV2 = info.info_hashes().has_v2();
    return facts;
}

}  // namespace vexa::engine
