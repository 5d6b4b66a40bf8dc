#include "engine/swarm/SwarmSession.h"

#include <windows.h>

#include <algorithm>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/settings_pack.hpp>

#include "base/TextCodec.h"
#include "engine/core/EngineUserAgent.h"

namespace vexa::engine {
namespace {

std::string ListenInterfaces(const SwarmSettings& s) {
    if (!s.listen) return std::string();
    const std::string port = std::to_string(s.listenPort);
    if (!s.listenIp.empty()) return s.listenIp + ":" + port;
    return "0.0.0.0:" + port + ",[::]:" + port;
}

lt::settings_pack PackOf(const SwarmSettings& s) {
    lt::settings_pack p;
    p.set_str(lt::settings_pack::user_agent, kEngineUserAgent);
    p.set_int(lt::settings_pack::alert_mask, lt::alert_category::status |
                                                 lt::alert_category::error |
                                                 lt::alert_category::storage |
                                                 lt::alert_category::peer |
                                                 lt::alert_category::piece_progress |
                                                 lt::alert_category::connect);
    p.set_str(lt::settings_pack::listen_interfaces, ListenInterfaces(s));
    if (!s.listenIp.empty()) p.set_str(lt::settings_pack::outgoing_interfaces, s.listenIp);
    // Peers come from the publisher's tracker and the local network; DHT would reach out to
    // public routers and port mapping would reconfigure the player's router.
    p.set_bool(lt::settings_pack::enable_dht, false);
    p.set_bool(lt::settings_pack::enable_upnp, false);
    p.set_bool(lt::settings_pack::enable_natpmp, false);
    p.set_bool(lt::settings_pack::enable_lsd, s.localDiscovery);
    p.set_bool(lt::settings_pack::enable_outgoing_utp, s.utp);
    p.set_bool(lt::settings_pack::enable_incoming_utp, s.utp);
    // Peers on the local network are in their own class, which no limit applies to.
    p.set_int(lt::settings_pack::upload_rate_limit, s.uploadLimit);
    p.set_int(lt::settings_pack::urlseed_max_request_bytes, s.webSeedRequestBytes);
    p.set_int(lt::settings_pack::urlseed_wait_retry, 5);
    p.set_int(lt::settings_pack::connections_limit, s.connectionsLimit);
    p.set_int(lt::settings_pack::inactivity_timeout, s.inactivityTimeoutS);
    p.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    // Players behind one address (a café, a school) are all useful peers.
    p.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    return p;
}

// The task's servers, then the torrent's own web seeds (a folder address names the file
// inside it), each once.
std::vector<FeedSourceAddress> ServersOf(const SwarmJoin& join, const lt::torrent_info& info) {
    std::vector<FeedSourceAddress> servers = join.servers;
    for (const lt::web_seed_entry& seed : info.web_seeds()) {
        if (seed.type != lt::web_seed_entry::url_seed) continue;
        FeedSourceAddress address;
        address.url = seed.url;
        if (!address.url.empty() && address.url.back() == '/')
            address.url += info.files().file_path(lt::file_index_t(0));
        const bool known = std::any_of(servers.begin(), servers.end(), [&](const FeedSourceAddress& s) {
            return s.url == address.url;
        });
        if (!known) servers.push_back(address);
    }
    return servers;
}

}  // namespace

SwarmSession::SwarmSession(const SwarmSettings& settings)
    : settings_(settings), session_(lt::session_params(PackOf(settings))) {
    alerts_ = std::thread([this] { AlertLoop(); });
}

SwarmSession::~SwarmSession() {
    stop_ = true;
    if (alerts_.joinable()) alerts_.join();
    std::lock_guard<std::mutex> lock(mu_);
    torrents_.clear();
}

// Alerts are taken with pop_alerts only: the pointer wait_for_alert returns may already be
// freed by the network thread.
void SwarmSession::AlertLoop() {
    std::vector<lt::alert*> alerts;
    ULONGLONG lastLook = 0;
    while (!stop_.load()) {
        session_.wait_for_alert(lt::milliseconds(100));
        if (GetTickCount64() - lastLook >= 250) {
            lastLook = GetTickCount64();
            RefreshAll();
        }
        session_.pop_alerts(&alerts);
        for (const lt::alert* alert : alerts) {
            auto* about = dynamic_cast<const lt::torrent_alert*>(alert);
            if (!about) continue;
            std::shared_ptr<SwarmTorrent> torrent;
            {
                std::lock_guard<std::mutex> lock(mu_);
                auto it = torrents_.find(about->handle);
                if (it != torrents_.end()) torrent = it->second;
            }
            if (torrent) torrent->OnAlert(*alert);
        }
    }
}

void SwarmSession::RefreshAll() {
    std::vector<std::shared_ptr<SwarmTorrent>> all;
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (const auto& entry : torrents_) all.push_back(entry.second);
    }
    for (const auto& torrent : all) torrent->Refresh();
}

void SwarmSession::RemoveAndWait(const lt::torrent_handle& handle) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        torrents_.erase(handle);
    }
    try {
        const lt::info_hash_t hashes = handle.info_hashes();
        session_.remove_torrent(handle);
        // Removal is asynchronous; the same file cannot be added again before it is done.
        for (int i = 0; i < 500 && session_.find_torrent(hashes.get_best()).is_valid(); ++i)
            Sleep(10);
    } catch (const std::exception&) {
        // Already gone.
    }
}

std::shared_ptr<SwarmTorrent> SwarmSession::Join(const SwarmJoin& join, std::string* error) {
    const lt::torrent_handle earlier = session_.find_torrent(join.torrent->info_hashes().get_best());
    if (earlier.is_valid()) RemoveAndWait(earlier);

    const size_t slash = join.targetPath.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        *error = "the target has no folder";
        return nullptr;
    }
    lt::add_torrent_params params;
    auto info = std::make_shared<lt::torrent_info>(*join.torrent);
    std::vector<FeedSourceAddress> servers = ServersOf(join, *info);
    if (settings_.httpFeed) {
        info->set_web_seeds({});  // the engine's own connections fetch from them instead
    } else {
        for (const FeedSourceAddress& server : join.servers) params.url_seeds.push_back(server.url);
    }
    params.ti = info;
    params.save_path = Utf8FromWide(join.targetPath.substr(0, slash));
    params.renamed_files[lt::file_index_t(0)] =
        Utf8FromWide(join.targetPath.substr(slash + 1) + L".P2P");
    params.flags &= ~lt::torrent_flags::auto_managed;
    params.flags |= lt::torrent_flags::paused;
    lt::error_code code;
    lt::torrent_handle handle = session_.add_torrent(std::move(params), code);
    if (code) {
        *error = code.message();
        return nullptr;
    }
    std::unique_ptr<PieceFeeder> feeder;
    if (settings_.httpFeed) feeder = std::make_unique<PieceFeeder>(handle, std::move(servers), join.http);
    auto torrent = std::make_shared<SwarmTorrent>(handle, join.targetPath, join.originEndpoint,
                                                  std::move(feeder));
    torrent->Refresh();  // the size and what the file holds are known from the start
    std::lock_guard<std::mutex> lock(mu_);
    torrents_[handle] = torrent;
    return torrent;
}

void SwarmSession::Leave(const std::shared_ptr<SwarmTorrent>& torrent) {
    if (torrent) RemoveAndWait(torrent->Handle());
}

void SwarmHost::Configure(const SwarmSettings& settings) {
    std::lock_guard<std::mutex> lock(mu_);
    settings_ = settings;
}

SwarmSettings SwarmHost::Settings() const {
    std::lock_guard<std::mutex> lock(mu_);
    return settings_;
}

SwarmSession& SwarmHost::Session() {
    std::lock_guard<std::mutex> lock(mu_);
    if (!session_) session_ = std::make_unique<SwarmSession>(settings_);
    return *session_;
}

void SwarmHost::Shutdown() {
    std::unique_ptr<SwarmSession> ending;
    {
        std::lock_guard<std::mutex> lock(mu_);
        ending.swap(session_);
    }
}

}  // namespace vexa::engine
