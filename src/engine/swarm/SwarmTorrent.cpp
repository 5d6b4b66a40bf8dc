#include "engine/swarm/SwarmTorrent.h"

#include <windows.h>

#include <vector>

#include <libtorrent/alert_types.hpp>
#include <libtorrent/error_code.hpp>
#include <libtorrent/peer_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include "base/TextCodec.h"

namespace vexa::engine {
namespace {

std::string EndpointText(const lt::tcp::endpoint& endpoint) {
    return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

uint32_t Rate(int value) { return value > 0 ? static_cast<uint32_t>(value) : 0; }

uint64_t Bytes(std::int64_t value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

// A handle whose torrent or session has gone (Uninit, a task replaced) throws on every call;
// for a task that only means there is nothing left to do.
template <typename Fn>
void OnHandle(Fn&& fn) {
    try {
        fn();
    } catch (const std::exception&) {
    }
}

// Bytes of the pieces that passed their hash check: what the record may call done. (The
// swarm's own count includes pieces still waiting for their check, and drops them again
// when one fails.)
uint64_t VerifiedBytes(const lt::torrent_status& st, const lt::torrent_handle& handle) {
    auto info = st.torrent_file.lock();
    if (!info || st.num_pieces <= 0) return 0;
    const uint64_t total = Bytes(info->total_size());
    const lt::piece_index_t last(info->num_pieces() - 1);
    uint64_t bytes = static_cast<uint64_t>(st.num_pieces) * static_cast<uint64_t>(info->piece_length());
    if (handle.have_piece(last))
        bytes -= static_cast<uint64_t>(info->piece_length() - info->piece_size(last));
    return bytes < total ? bytes : total;
}

}  // namespace

SwarmTorrent::SwarmTorrent(lt::torrent_handle handle, std::wstring targetPath,
                           std::string originEndpoint, std::unique_ptr<PieceFeeder> feeder)
    : handle_(std::move(handle)),
      targetPath_(std::move(targetPath)),
      originEndpoint_(std::move(originEndpoint)),
      feeder_(std::move(feeder)) {}

SwarmTorrent::~SwarmTorrent() {
    if (feeder_) feeder_->Stop();
}

void SwarmTorrent::Resume() {
    OnHandle([&] {
        if (state_.load() == kStateFileError) {
            // A full disk or a vanished folder: the user freed space and tries again.
            handle_.clear_error();
            state_ = kStateRunning;
        }
        handle_.resume();
    });
    if (feeder_ && !Finished() && !finishing_.load()) feeder_->Start();
}

void SwarmTorrent::Pause() {
    if (Finished() || finishing_.load()) return;
    if (feeder_) feeder_->Stop();
    OnHandle([&] { handle_.pause(); });
}

// The complete file takes the target's name. A stale target is removed only now that a
// complete, checked file is there to replace it; the rename itself happens on the swarm's
// disk thread, which holds the file.
void SwarmTorrent::BeginFinish() {
    if (finishing_.exchange(true)) return;
    if (feeder_) feeder_->Halt();
    DeleteFileW(targetPath_.c_str());
    // The HTTP side's record, left by a run before the torrent was published.
    DeleteFileW((targetPath_ + L".P2P.rec").c_str());
    const size_t slash = targetPath_.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? targetPath_ : targetPath_.substr(slash + 1);
    OnHandle([&] { handle_.rename_file(lt::file_index_t(0), Utf8FromWide(name)); });
}

void SwarmTorrent::OnAlert(const lt::alert& alert) {
    if (auto* passed = lt::alert_cast<lt::piece_finished_alert>(&alert)) {
        if (feeder_) feeder_->OnPieceChecked(static_cast<int>(passed->piece_index), true);
    } else if (auto* failed = lt::alert_cast<lt::hash_failed_alert>(&alert)) {
        if (feeder_) feeder_->OnPieceChecked(static_cast<int>(failed->piece_index), false);
    } else if (lt::alert_cast<lt::torrent_finished_alert>(&alert)) {
        BeginFinish();
    } else if (auto* changed = lt::alert_cast<lt::state_changed_alert>(&alert)) {
        if (changed->state == lt::torrent_status::seeding ||
            changed->state == lt::torrent_status::finished)
            BeginFinish();
    } else if (auto* renamed = lt::alert_cast<lt::file_renamed_alert>(&alert)) {
        if (renamed->index == lt::file_index_t(0) && finishing_.load()) {
            Refresh();  // the record's last figures before it says finished
            state_ = kStateFinished;
        }
    } else if (lt::alert_cast<lt::file_rename_failed_alert>(&alert) ||
               lt::alert_cast<lt::file_error_alert>(&alert)) {
        // The partial file stays; the task can be resumed once the disk has room again.
        if (!Finished()) {
            finishing_ = false;
            state_ = kStateFileError;
        }
    } else if (lt::alert_cast<lt::torrent_checked_alert>(&alert)) {
        // What the file held when the task started, every piece checked, nothing trusted.
        OnHandle([&] {
            const uint64_t found = VerifiedBytes(handle_.status(), handle_);
            std::lock_guard<std::mutex> lock(mu_);
            resumed_ = found;
        });
    } else if (auto* ban = lt::alert_cast<lt::peer_ban_alert>(&alert)) {
        NoteBan(ban->endpoint);  // a peer that alone sent a piece that failed, or failed too many
    } else if (auto* gone = lt::alert_cast<lt::peer_disconnected_alert>(&alert)) {
        // The smart ban found the peer whose blocks differ from the good piece's.
        if (gone->error == lt::errors::peer_banned) NoteBan(gone->endpoint);
    }
}

void SwarmTorrent::NoteBan(const lt::tcp::endpoint& peer) {
    std::lock_guard<std::mutex> lock(mu_);
    banned_.insert(peer.address().to_string());
}

void SwarmTorrent::Sample(TaskStatus& status, uint64_t peerPayload) {
    std::vector<lt::peer_info> peers;
    OnHandle([&] { handle_.get_peer_info(peers); });
    std::vector<ConnectionSample> live;
    live.reserve(peers.size());
    for (const lt::peer_info& p : peers) {
        const bool webSeed = static_cast<bool>(
            p.connection_type & (lt::peer_info::web_seed | lt::peer_info::http_seed));
        ConnectionSample sample;
        const std::string endpoint = EndpointText(p.ip);
        sample.kind = KindOfSource(webSeed, endpoint, originEndpoint_);
        sample.key = (webSeed ? "w " : "p ") + endpoint;
        sample.received = Bytes(p.total_download);
        sample.rate = Rate(p.payload_down_speed);
        live.push_back(std::move(sample));
    }
    if (feeder_) {
        const std::vector<ConnectionSample> servers = feeder_->Samples();
        live.insert(live.end(), servers.begin(), servers.end());
    }
    const SourceSpeeds speeds = SpeedsOf(live);
    std::lock_guard<std::mutex> lock(mu_);
    ledger_.Update(live);
    status.originSpeed = speeds.origin;
    status.seedSpeed = speeds.others;
    status.peerSpeed = speeds.peers;
    status.peersBanned = static_cast<uint32_t>(banned_.size());
    if (!feeder_) {
        status.peerBytes = ledger_.Bytes(SourceKind::kPeer);  // web seeds count as peers there
        return;
    }
    // Every payload byte the swarm counts came from a peer; unlike the connections' own
    // counters, this one keeps what connections that closed between two looks delivered.
    if (peerPayload < payloadLast_) payloadBefore_ += payloadLast_;
    payloadLast_ = peerPayload;
    status.peerBytes = payloadBefore_ + peerPayload;
}

TaskStatus SwarmTorrent::Status() {
    std::lock_guard<std::mutex> lock(mu_);
    TaskStatus s = measured_;
    s.swarm = true;
    s.state = state_.load();
    s.resumedBytes = resumed_;
    if (s.state == kStateFinished) s.done = s.total;  // a look older than the last piece
    return s;
}

void SwarmTorrent::Refresh() {
    const TaskStatus s = Measure();
    std::lock_guard<std::mutex> lock(mu_);
    measured_ = s;
}

TaskStatus SwarmTorrent::Measure() {
    TaskStatus s;
    lt::torrent_status st;
    OnHandle([&] { st = handle_.status(); });
    if (auto info = st.torrent_file.lock()) s.total = Bytes(info->total_size());
    OnHandle([&] { s.done = VerifiedBytes(st, handle_); });
    s.wireBytes = Bytes(st.total_download) + (feeder_ ? feeder_->WireBytes() : 0);
    s.duplicateBytes = Bytes(st.total_redundant_bytes);
    s.failedBytes = Bytes(st.total_failed_bytes) + (feeder_ ? feeder_->FailedBytes() : 0);
    s.uploadSpeed = Rate(st.upload_payload_rate);
    s.uploadBytes = Bytes(st.all_time_upload);
    Sample(s, Bytes(st.total_payload_download));
    return s;
}

}  // namespace vexa::engine
