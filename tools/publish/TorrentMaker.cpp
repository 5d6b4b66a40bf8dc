#include "TorrentMaker.h"

#include <filesystem>
#include <iterator>

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/file_storage.hpp>

#include "LocalFiles.h"
#include "engine/core/SwarmAddress.h"

namespace publish {

int TorrentPieceSize(uint64_t fileSize) {
    const uint64_t kMin = 256 * 1024, kMax = 4 * 1024 * 1024, kTargetPieces = 2048;
    uint64_t piece = kMin;
    while (piece < kMax && (fileSize + piece - 1) / piece > kTargetPieces) piece *= 2;
    return static_cast<int>(piece);
}

std::string TorrentAddressOf(const std::string& link) {
    return vexa::engine::TorrentAddressOf(link);
}

TorrentResult MakeTorrent(const TorrentRequest& request) {
    TorrentResult result;
    const std::filesystem::path path = PathOf(request.file);
    std::error_code code;
    const uint64_t size = std::filesystem::file_size(path, code);
    if (code || size == 0) {
        result.error = "not a readable, non-empty file: " + request.file;
        return result;
    }
    try {
        lt::file_storage files;
        files.add_file(Utf8Of(path.filename()), static_cast<std::int64_t>(size));
        result.pieceSize = TorrentPieceSize(size);
        lt::create_torrent torrent(files, result.pieceSize);
        for (const std::string& seed : request.webSeeds) torrent.add_url_seed(seed);
        if (!request.tracker.empty()) torrent.add_tracker(request.tracker);
        torrent.set_creator("vexa_publish");
        torrent.set_creation_date(0);
        lt::error_code hashError;
        lt::set_piece_hashes(torrent, Utf8Of(path.parent_path()), hashError);
        if (hashError) {
            result.error = "cannot hash " + request.file + ": " + hashError.message();
            return result;
        }
        std::vector<char> bytes;
        lt::bencode(std::back_inserter(bytes), torrent.generate());
        result.bytes.assign(bytes.begin(), bytes.end());
    } catch (const std::exception& e) {
        result.error = "cannot make a torrent of " + request.file + ": " + e.what();
    }
    return result;
}

}  // namespace publish
