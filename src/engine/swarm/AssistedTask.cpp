#include "engine/swarm/AssistedTask.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <libtorrent/torrent_info.hpp>

#include "engine/core/SwarmAddress.h"
#include "engine/swarm/DiskReservation.h"
#include "engine/swarm/TorrentFactsOf.h"
#include "engine/swarm/TorrentProbe.h"

namespace vexa::engine {
namespace {

const int kProbeTimeoutMs = 10000;

// "address:port" of the link's server as the swarm will see its web seed.
std::string EndpointOf(const std::string& link) {
    HttpUrl url;
    if (!ParseHttpUrl(link, url)) return std::string();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(url.host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::string();
    char text[64] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
    freeaddrinfo(found);
    return std::string(text) + ":" + std::to_string(url.port);
}

std::shared_ptr<const lt::torrent_info> ParseTorrent(const std::string& bytes, uint64_t maxSize) {
    lt::error_code code;
    std::shared_ptr<const lt::torrent_info> info = ReadTorrent(bytes, code);
    if (!info || !info->is_valid()) return nullptr;
    const TorrentFacts facts = TorrentFactsOf(*info);
    const lt::file_storage& files = info->files();
    // The swarm keeps the file as the torrent's first file.
    if (files.num_files() == 0 || files.pad_file_at(lt::file_index_t(0))) return nullptr;
    return JudgeTorrent(facts, maxSize) == TorrentFit::kUsable ? info : nullptr;
}

}  // namespace

AssistedTask::AssistedTask(TaskAddress address, std::wstring targetPath,
                           std::vector<std::string> seedBases, EngineSettings settings,
                           SwarmHost& swarm)
    : address_(address),
      targetPath_(targetPath),
      seedBases_(seedBases),
      settings_(settings),
      swarm_(swarm),
      http_(std::make_unique<TransferTask>(std::move(address), std::move(targetPath),
                                           std::move(seedBases), settings)) {}

AssistedTask::~AssistedTask() { Stop(); }

std::vector<FeedSourceAddress> AssistedTask::Servers() const {
    std::vector<FeedSourceAddress> servers{{address_.link, true}};
    const std::string name = FileNameOfLink(address_.link);
    for (const std::string& base : seedBases_) servers.push_back({SeedFileUrl(base, name), false});
    return servers;
}

bool AssistedTask::JoinSwarm(const std::string& torrentBytes) {
    auto info = ParseTorrent(torrentBytes, settings_.maxFileSize);
    if (!info) return false;
    if (!ReserveFileSpace(targetPath_ + L".P2P", static_cast<uint64_t>(info->total_size()))) {
        // No room for the file (or no folder to put it in): reported as the HTTP transfer
        // reports a full disk; the next start asks again.
        std::lock_guard<std::mutex> lock(mu_);
        noRoom_ = true;
        noRoomTotal_ = static_cast<uint64_t>(info->total_size());
        return true;
    }
    SwarmJoin join;
    join.torrent = info;
    join.targetPath = targetPath_;
    join.servers = Servers();
    join.originEndpoint = EndpointOf(address_.link);
    join.http = settings_;
    std::string error;
    auto torrent = swarm_.Session().Join(join, &error);
    if (!torrent) return false;
    std::lock_guard<std::mutex> lock(mu_);
    if (stop_.load()) {
        swarm_.Session().Leave(torrent);
        return true;  // decided; the next start asks again
    }
    torrent_ = torrent;
    mode_ = Mode::kSwarm;
    torrent_->Resume();
    return true;
}

// Runs on its own thread so StartTask returns at once. Without an answer (the network is
// down) the HTTP transfer takes over, which waits out outages on its own.
void AssistedTask::Decide() {
    const TorrentProbe probe = FetchTorrent(address_.link, kProbeTimeoutMs, stop_);
    if (probe.outcome == ProbeOutcome::kStopped) return;
    if (probe.outcome == ProbeOutcome::kFound && JoinSwarm(probe.bytes)) return;
    std::lock_guard<std::mutex> lock(mu_);
    if (stop_.load()) return;
    mode_ = Mode::kHttp;
    http_->Start();
}

bool AssistedTask::Start() {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = false;
    noRoom_ = false;
    if (mode_ == Mode::kHttp) return http_->Start();
    if (mode_ == Mode::kSwarm) {
        torrent_->Resume();
        return true;
    }
    if (deciding_.load()) return true;  // asked already; the answer starts the transfer
    if (decider_.joinable()) decider_.join();
    if (!swarm_.Settings().enabled) {
        mode_ = Mode::kHttp;
        return http_->Start();
    }
    deciding_ = true;
    decider_ = std::thread([this] {
        Decide();
        deciding_ = false;
    });
    return true;
}

void AssistedTask::Stop() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
    }
    if (decider_.joinable()) decider_.join();
    std::lock_guard<std::mutex> lock(mu_);
    if (mode_ == Mode::kSwarm) torrent_->Pause();
    if (mode_ == Mode::kHttp) http_->Stop();
}

void AssistedTask::Retire() {
    Stop();
    std::shared_ptr<SwarmTorrent> leaving;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (mode_ == Mode::kSwarm && !torrent_->Finished()) leaving = torrent_;
    }
    if (leaving) swarm_.Session().Leave(leaving);
}

TaskStatus AssistedTask::Status() const {
    std::shared_ptr<SwarmTorrent> torrent;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (noRoom_) {
            TaskStatus status;
            status.swarm = true;
            status.total = noRoomTotal_;
            status.state = kStateFileError;
            return status;
        }
        if (mode_ == Mode::kSwarm) torrent = torrent_;
    }
    return torrent ? torrent->Status() : http_->Status();
}

}  // namespace vexa::engine
