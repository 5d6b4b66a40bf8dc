#include "engine/swarm/PieceFeeder.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <chrono>

#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include "engine/RetryTiming.h"
#include "engine/core/RedirectRule.h"
#include "engine/core/ReplyRule.h"

namespace vexa::engine {
namespace {

// Pieces that failed their check before a server is no longer asked: one bad piece may be a
// proxy's or a disk's slip, a few are a server that serves other bytes.
const int kMaxStrikes = 3;
const auto kLookInterval = std::chrono::milliseconds(100);

uint64_t NowMs() { return GetTickCount64(); }

// The copy's order of the pieces. Copies that start together on machines alike (same clock,
// same thread numbers) must still get different orders, so it comes from the system's
// random source.
uint32_t OrderSeed() {
    uint32_t seed = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&seed), sizeof(seed),
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        seed = RandomBits() ^ GetCurrentProcessId();
    return seed;
}

template <typename Fn>
void OnHandle(Fn&& fn) {
    try {
        fn();
    } catch (const std::exception&) {
        // the torrent has left the session: nothing more to do for it
    }
}

}  // namespace

PieceFeeder::PieceFeeder(lt::torrent_handle handle, std::vector<FeedSourceAddress> sources,
                         const EngineSettings& settings)
    : handle_(std::move(handle)), settings_(settings) {
    int pieces = 0;
    OnHandle([&] {
        if (auto info = handle_.torrent_file()) {
            total_ = static_cast<uint64_t>(info->total_size());
            pieceLength_ = info->piece_length();
            pieces = info->num_pieces();
        }
    });
    picker_ = std::make_unique<FeedPicker>(pieces, OrderSeed());
    for (const FeedSourceAddress& address : sources) {
        HttpUrl url;
        if (sources_.size() >= 32 || !ParseHttpUrl(address.url, url)) continue;
        auto source = std::make_unique<Source>(url, address.origin, settings_);
        source->key = "h " + address.url;
        sources_.push_back(std::move(source));
    }
}

PieceFeeder::~PieceFeeder() { Stop(); }

void PieceFeeder::Start() {
    if (!stop_.load()) return;
    Stop();  // threads of an earlier run that was only halted
    if (sources_.empty() || pieceLength_ <= 0) return;
    stop_ = false;
    control_ = std::thread([this] { ControlLoop(); });
    const int share = std::max(1, settings_.totalConnections / static_cast<int>(sources_.size()));
    const int slots = std::min(settings_.governor.maxPerServer, share);
    for (size_t i = 0; i < sources_.size(); ++i)
        for (int slot = 0; slot < slots; ++slot) workers_.emplace_back([this, i, slot] { Worker(i, slot); });
}

void PieceFeeder::Halt() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
    }
    workCv_.notify_all();
    controlCv_.notify_all();
}

void PieceFeeder::Stop() {
    Halt();
    if (control_.joinable()) control_.join();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
    std::lock_guard<std::mutex> lock(mu_);
    ready_ = false;
}

void PieceFeeder::OnPieceChecked(int piece, bool passed) {
    std::lock_guard<std::mutex> lock(mu_);
    const int source = picker_->Checked(piece, passed);
    if (source == FeedPicker::kNone) return;
    Source& src = *sources_[static_cast<size_t>(source)];
    if (!passed) {
        failed_ += PieceBytes(piece);
        if (++src.strikes >= kMaxStrikes) src.health.Drop();
    }
    workCv_.notify_all();
}

std::vector<ConnectionSample> PieceFeeder::Samples() const {
    std::vector<ConnectionSample> samples;
    for (const auto& src : sources_) {
        ConnectionSample s;
        s.key = src->key;
        s.kind = src->origin ? SourceKind::kOrigin : SourceKind::kSeedServer;
        s.received = src->bytes.load();
        s.rate = stop_.load() ? 0 : src->rate.load();
        samples.push_back(std::move(s));
    }
    return samples;
}

void PieceFeeder::ControlLoop() {
    while (!stop_.load()) {
        const uint64_t now = NowMs();
        RefreshView(now);
        GovernSources(now);
        workCv_.notify_all();
        std::unique_lock<std::mutex> lock(mu_);
        controlCv_.wait_for(lock, kLookInterval, [this] { return stop_.load(); });
    }
}

// What the swarm has, what peers can give and are fetching, and how fast they deliver.
void PieceFeeder::RefreshView(uint64_t nowMs) {
    FeedView view;
    bool ready = false;
    OnHandle([&] {
        const lt::torrent_status st = handle_.status(lt::torrent_handle::query_pieces);
        ready = st.state == lt::torrent_status::downloading &&
                !(st.flags & lt::torrent_flags::paused);
        const int n = st.pieces.size();
        view.have.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) view.have[static_cast<size_t>(i)] = st.pieces.get_bit(lt::piece_index_t(i));
        view.peerRate = static_cast<uint32_t>(std::max(0, st.download_payload_rate));
        handle_.piece_availability(view.availability);
        view.peersFetching.resize(static_cast<size_t>(n));
        for (const lt::partial_piece_info& partial : handle_.get_download_queue()) {
            const int piece = static_cast<int>(partial.piece_index);
            if (partial.requested > 0 && piece >= 0 && piece < n) view.peersFetching[static_cast<size_t>(piece)] = true;
        }
    });
    std::lock_guard<std::mutex> lock(mu_);
    ready_ = ready;
    picker_->SetView(std::move(view), nowMs);
    picker_->ObserveHttp(nowMs, fetched_.load());
}

void PieceFeeder::GovernSources(uint64_t nowMs) {
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& src : sources_) {
        const int limit = std::min(src->health.ConnectionLimit(), src->governor.Limit());
        src->governor.Observe(nowMs, src->bytes.load(), src->busy.load() >= limit);
        if (nowMs - src->lastRateMs >= 1000) {
            const uint64_t bytes = src->bytes.load();
            if (src->lastRateMs != 0)
                src->rate = static_cast<uint32_t>((bytes - src->lastBytes) * 1000 / (nowMs - src->lastRateMs));
            src->lastBytes = bytes;
            src->lastRateMs = nowMs;
        }
    }
}

uint32_t PieceFeeder::LiveSources() const {
    uint32_t live = 0;
    for (size_t i = 0; i < sources_.size(); ++i)
        if (!sources_[i]->health.Dropped()) live |= 1u << i;
    return live;
}

// A piece for this connection, or none after a short wait: the swarm is not downloading,
// the server is backing off or wants fewer connections, or nothing is left for the HTTP side.
int PieceFeeder::TakePiece(size_t source, int slot) {
    std::unique_lock<std::mutex> lock(mu_);
    Source& src = *sources_[source];
    const int limit = std::min(src.health.ConnectionLimit(), src.governor.Limit());
    int piece = FeedPicker::kNone;
    if (ready_ && slot < limit && src.health.ReadyAt(NowMs()))
        piece = picker_->Next(static_cast<int>(source), LiveSources());
    if (piece == FeedPicker::kNone && !stop_.load()) workCv_.wait_for(lock, kLookInterval);
    return piece;
}

void PieceFeeder::Worker(size_t source, int slot) {
    Source& src = *sources_[source];
    HttpConnection conn;
    while (!stop_.load()) {
        const int piece = TakePiece(source, slot);
        if (piece == FeedPicker::kNone) continue;
        ++src.busy;
        std::vector<char> data;
        const uint64_t wireBefore = conn.WireBytes();
        const Outcome outcome = FetchPiece(conn, src, piece, data);
        const uint64_t wireAfter = conn.WireBytes();
        wire_ += wireAfter >= wireBefore ? wireAfter - wireBefore : wireAfter;
        --src.busy;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (outcome == Outcome::kDone) {
                picker_->Delivered(piece, static_cast<int>(source), NowMs());
                src.health.OnProgress();
            } else {
                picker_->Release(piece);
            }
        }
        // The swarm checks it against the piece's hash like a peer's, then it counts.
        if (outcome == Outcome::kDone)
            OnHandle([&] { handle_.add_piece(lt::piece_index_t(piece), std::move(data)); });
    }
}

void PieceFeeder::Fail(Source& src, FailureKind kind, long long retryAfter, uint64_t round) {
    std::lock_guard<std::mutex> lock(mu_);
    src.health.OnFailure(kind, NowMs(), retryAfter, RandomBits(), round);
    if (kind == FailureKind::Throttled || kind == FailureKind::Refused)
        src.governor.Lower(NowMs(), src.busy.load());
}

uint64_t PieceFeeder::PieceBytes(int piece) const {
    const uint64_t from = static_cast<uint64_t>(piece) * static_cast<uint64_t>(pieceLength_);
    return std::min(total_, from + static_cast<uint64_t>(pieceLength_)) - from;
}

PieceFeeder::Outcome PieceFeeder::FetchPiece(HttpConnection& conn, Source& src, int piece,
                                             std::vector<char>& data) {
    const uint64_t from = static_cast<uint64_t>(piece) * static_cast<uint64_t>(pieceLength_);
    const uint64_t to = from + PieceBytes(piece);
    HttpUrl url;
    uint64_t round = 0;
    {
        std::lock_guard<std::mutex> lock(mu_);
        url = src.target.host.empty() ? src.link : src.target;
        round = src.health.Round();
    }
    const int connectMs = static_cast<int>(settings_.connectTimeoutMs);
    const int stallMs = static_cast<int>(settings_.stallTimeoutMs);
    HttpResponseHead head;
    for (int hop = 0;; ++hop) {
        const bool reused = conn.IsOpen();
        const std::string request = BuildGetRequest(url, true, from, to, std::string());
        auto exchange = [&] {
            return conn.Open(url, connectMs, stop_) && conn.Send(request) &&
                   conn.ReadHead(head, stallMs, stop_);
        };
        bool ok = exchange();
        if (!ok && reused && !stop_.load()) {
            conn.Close();  // a kept-alive connection the server had closed: one fresh try
            ok = exchange();
        }
        if (stop_.load()) return Outcome::kStopped;
        if (!ok) {
            const BrokenExchange broken =
                JudgeBrokenExchange(conn.HeadMalformed(), conn.Refused(), src.busy.load() > 1);
            conn.Close();
            Fail(src, broken.failure, -1, round);
            if (broken.leaveTarget) {
                std::lock_guard<std::mutex> lock(mu_);
                src.target = HttpUrl();
            }
            return Outcome::kFailed;
        }
        HttpUrl next;
        const RedirectStep step = NextRedirect(head, url, hop, kMaxRedirects, next);
        if (step == RedirectStep::None) break;
        conn.Close();
        std::lock_guard<std::mutex> lock(mu_);
        if (step == RedirectStep::GiveUp) {
            src.health.Drop();
            return Outcome::kFailed;
        }
        url = next;
        src.target = next;
    }

    ReplyContext context;
    context.planned = true;
    context.fromOrigin = src.origin;
    context.redirected = url.ToString() != src.link.ToString();
    context.from = from;
    context.to = to;
    context.knownTotal = total_;
    const ReplyVerdict verdict = ClassifyReply(head, context);
    if (verdict.action == ReplyAction::ReadBody && verdict.bodyLength == to - from) {
        data.resize(static_cast<size_t>(to - from));
        const Outcome read = ReadPiece(conn, src, data);
        if (read != Outcome::kDone || !head.KeepAlive()) conn.Close();
        if (read == Outcome::kFailed) Fail(src, FailureKind::Transport, -1, round);
        return read;
    }
    conn.Close();
    switch (verdict.action) {
        case ReplyAction::BackToOriginalLink: {
            std::lock_guard<std::mutex> lock(mu_);
            src.target = HttpUrl();
            return Outcome::kFailed;
        }
        case ReplyAction::Fail:
            Fail(src, verdict.failure,
                 verdict.failure == FailureKind::Throttled ? RetryAfterOf(head) : -1, round);
            return Outcome::kFailed;
        case ReplyAction::RestartChangedFile:
            // Another file at this address: the torrent names the bytes wanted, and this
            // server no longer has them.
            Fail(src, FailureKind::Fatal, -1, round);
            return Outcome::kFailed;
        case ReplyAction::CheckUnsatisfiable:
            Fail(src, FailureOfStatus(head.status), -1, round);
            return Outcome::kFailed;
        default:
            // A shorter range than asked, or a reply of no use this time.
            Fail(src, FailureKind::Transient, -1, round);
            return Outcome::kFailed;
    }
}

PieceFeeder::Outcome PieceFeeder::ReadPiece(HttpConnection& conn, Source& src,
                                            std::vector<char>& data) {
    size_t filled = 0;
    uint64_t lastDataMs = NowMs();
    while (filled < data.size()) {
        if (stop_.load()) return Outcome::kStopped;
        size_t got = 0;
        const ReadStatus rs = conn.Read(data.data() + filled, data.size() - filled, got);
        if (rs == ReadStatus::Data) {
            filled += got;
            src.bytes += got;
            fetched_ += got;
            lastDataMs = NowMs();
        } else if (rs == ReadStatus::Stopped) {
            return Outcome::kStopped;
        } else if (rs != ReadStatus::Idle || NowMs() - lastDataMs >= settings_.stallTimeoutMs) {
            return Outcome::kFailed;  // cut short, reset or stalled
        }
    }
    return Outcome::kDone;
}

}  // namespace vexa::engine
