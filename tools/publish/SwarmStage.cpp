#include "SwarmStage.h"

#include <libtorrent/torrent_info.hpp>

#include "LocalFiles.h"
#include "TorrentMaker.h"
#include "engine/core/TaskUrl.h"

namespace publish {
namespace {

std::string Hex(const char* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

// A hybrid torrent is announced under both of its hashes (the v2 one cut to 20 bytes).
void AddInfoHashes(const std::string& bytes, std::vector<std::string>& hashes) {
    lt::error_code code;
    lt::torrent_info info(lt::span<const char>(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())),
                          code, lt::from_span);
    if (code) return;
    const lt::info_hash_t& ih = info.info_hashes();
    if (ih.has_v1()) hashes.push_back(Hex(ih.v1.data(), ih.v1.size()));
    if (ih.has_v2()) hashes.push_back(Hex(ih.v2.data(), 20));
}

// "http://HOST:PORT/announce" -> "HOST:PORT" for opentracker's listen line.
std::string ListenOf(const std::string& tracker) {
    vexa::engine::HttpUrl url;
    if (!vexa::engine::ParseHttpUrl(tracker, url)) return std::string();
    return url.host + ":" + std::to_string(url.port);
}

}  // namespace

void StageTorrent(const std::string& link, const std::vector<std::string>& seedBases,
                  const std::string& localPath, SwarmStage& stage) {
    TorrentRequest request;
    request.file = localPath;
    const std::string name = vexa::engine::FileNameOfLink(link);
    request.webSeeds.push_back(vexa::engine::EncodeLinkForWire(link));
    for (const std::string& base : seedBases)
        request.webSeeds.push_back(
            vexa::engine::EncodeLinkForWire(vexa::engine::SeedFileUrl(base, name)));
    if (stage.tracker != "none") request.tracker = stage.tracker;
    const TorrentResult made = MakeTorrent(request);
    if (!made.error.empty()) {
        stage.problems.push_back(made.error);
        return;
    }
    if (!WriteFileAtomically(localPath + ".torrent", made.bytes)) {
        stage.problems.push_back("cannot write " + localPath + ".torrent");
        return;
    }
    AddInfoHashes(made.bytes, stage.infoHashes);
    stage.placed.push_back(TorrentAddressOf(link) + " <- torrent of " + localPath + " (" +
                           std::to_string(made.pieceSize / 1024) + " KiB pieces)");
}

bool WriteTrackerConfig(const std::string& confFolder, const SwarmStage& stage) {
    if (stage.tracker == "none") return true;
    const std::string listen = ListenOf(stage.tracker);
    if (listen.empty()) return false;
    std::string whitelist;
    for (const std::string& hash : stage.infoHashes) whitelist += hash + "\n";
    const std::string list = confFolder + "/opentracker-whitelist.txt";
    const std::string conf = "# opentracker -f " + confFolder + "/opentracker.conf\n" +
                             "listen.tcp_udp " + listen + "\n" +
                             "access.whitelist " + list + "\n";
    return WriteFileAtomically(list, whitelist) &&
           WriteFileAtomically(confFolder + "/opentracker.conf", conf);
}

}  // namespace publish
