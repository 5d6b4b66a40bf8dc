// The swarm's decisions that need no network: where a torrent is looked for, which torrents
// a task trusts with its file, the swarm's tuning, the bytes and speeds per kind of source
// when connections come and go, and which pieces the servers are asked for.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/FeedPicker.h"
#include "engine/core/SourceLedger.h"
#include "engine/core/SwarmAddress.h"
#include "engine/core/SwarmSettings.h"

using namespace vexa::engine;

namespace {

TEST(SwarmAddress, TorrentSitsBesideTheFileWithTheQueryKept) {
    EXPECT_EQ("http://h/g/a.bin.torrent", TorrentAddressOf("http://h/g/a.bin"));
    EXPECT_EQ("http://h/g/a.bin.torrent?v=2", TorrentAddressOf("http://h/g/a.bin?v=2"));
    EXPECT_EQ("http://h:81/%E6%95%B0.bin.torrent", TorrentAddressOf("http://h:81/%E6%95%B0.bin"));
}

TEST(SwarmAddress, OnlyASingleHashedFileWithinTheLimitIsTrusted) {
    struct Case {
        TorrentFacts facts;
        TorrentFit fit;
    } cases[] = {
        {{1, 1000, true, true}, TorrentFit::kUsable},
        {{1, 1000, true, false}, TorrentFit::kUsable},  // v2 only
        {{1, 1000, false, true}, TorrentFit::kUsable},  // v1 only
        {{2, 1000, true, true}, TorrentFit::kSeveralFiles},
        {{0, 0, true, true}, TorrentFit::kEmpty},
        {{1, 0, true, true}, TorrentFit::kEmpty},
        {{1, 1001, true, true}, TorrentFit::kTooLarge},
        {{1, 1000, false, false}, TorrentFit::kNoHashes},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fit, JudgeTorrent(c.facts, 1000))
            << c.facts.files << " files, " << c.facts.size << " bytes";
    }
}

TEST(SwarmSettings, DefaultsListenCapTheUploadAndFindLocalPeers) {
    SwarmSettings s;
    EXPECT_TRUE(s.enabled);
    EXPECT_TRUE(s.listen);
    EXPECT_TRUE(s.localDiscovery);
    EXPECT_EQ(512 * 1024, s.uploadLimit);
}

TEST(SwarmSettings, TuningTakesItsOwnNamesAndIgnoresTheRest) {
    SwarmSettings s;
    EXPECT_EQ(7, ApplySwarmTuning("connections=4;swarm=0;listen_ip=127.0.0.7;listen_port=7001;"
                                  "upload_kib=0;utp=0;lsd=0;piece=262144;http_feed=0",
                                  s));
    EXPECT_FALSE(s.httpFeed);
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ("127.0.0.7", s.listenIp);
    EXPECT_EQ(7001, s.listenPort);
    EXPECT_EQ(0, s.uploadLimit);  // unlimited
    EXPECT_FALSE(s.utp);
    EXPECT_FALSE(s.localDiscovery);
}

TEST(SwarmSettings, BadValuesLeaveTheSettingAlone) {
    SwarmSettings s;
    const char* bad[] = {"listen_ip=127.0.0",    "listen_ip=127.0.0.256", "listen_ip=a.b.c.d",
                         "listen_ip=1.2.3.4.5", "listen_port=65536",     "upload_kib=-1",
                         "utp=2",               "lsd=",                  "peers=1",
                         "webseed_request_kib=8", "swarm=yes"};
    for (const char* text : bad) {
        EXPECT_EQ(0, ApplySwarmTuning(text, s)) << text;
    }
    EXPECT_TRUE(s.listenIp.empty());
    EXPECT_EQ(512 * 1024, s.uploadLimit);
    EXPECT_TRUE(s.utp);
}

ConnectionSample Peer(const std::string& key, uint64_t received, uint32_t rate = 0,
                      SourceKind kind = SourceKind::kPeer) {
    return ConnectionSample{key, kind, received, rate};
}

TEST(SourceLedger, ClosedConnectionsKeepWhatTheyDeliveredAndReconnectsStartOver) {
    SourceLedger ledger;
    ledger.Update({Peer("p 127.0.0.2:1", 100), Peer("w 127.0.0.9:80", 50, 0, SourceKind::kOrigin)});
    ledger.Update({Peer("p 127.0.0.2:1", 300), Peer("w 127.0.0.9:80", 80, 0, SourceKind::kOrigin)});
    EXPECT_EQ(300u, ledger.Bytes(SourceKind::kPeer));
    EXPECT_EQ(80u, ledger.Bytes(SourceKind::kOrigin));
    // The peer went away, then came back on the same address with a fresh counter.
    ledger.Update({});
    ledger.Update({Peer("p 127.0.0.2:1", 40)});
    EXPECT_EQ(340u, ledger.Bytes(SourceKind::kPeer));
    // A counter below the last one seen, without a gap between looks: also a new connection.
    ledger.Update({Peer("p 127.0.0.2:1", 10)});
    EXPECT_EQ(350u, ledger.Bytes(SourceKind::kPeer));
    EXPECT_EQ(0u, ledger.Bytes(SourceKind::kSeedServer));
}

TEST(SourceLedger, OnlyTheOriginsWebSeedIsTheOriginAndPeersCountAmongTheOthers) {
    EXPECT_EQ(SourceKind::kOrigin, KindOfSource(true, "127.0.0.9:80", "127.0.0.9:80"));
    EXPECT_EQ(SourceKind::kSeedServer, KindOfSource(true, "127.0.0.8:80", "127.0.0.9:80"));
    EXPECT_EQ(SourceKind::kSeedServer, KindOfSource(true, "127.0.0.9:80", ""));
    EXPECT_EQ(SourceKind::kPeer, KindOfSource(false, "127.0.0.9:80", "127.0.0.9:80"));
    const SourceSpeeds s = SpeedsOf({Peer("a", 0, 100, SourceKind::kOrigin),
                                     Peer("b", 0, 20, SourceKind::kSeedServer), Peer("c", 0, 3),
                                     Peer("d", 0, 4)});
    EXPECT_EQ(100u, s.origin);
    EXPECT_EQ(27u, s.others);
    EXPECT_EQ(7u, s.peers);
}

FeedView ViewOf(const std::string& availability, uint32_t peerRate = 0,
               const std::string& peersFetching = "") {
    FeedView v;
    for (char c : availability) {
        v.have.push_back(c == 'h');
        v.availability.push_back(c >= '0' && c <= '9' ? c - '0' : 0);
    }
    for (char c : peersFetching) v.peersFetching.push_back(c == 'f');
    v.peerRate = peerRate;
    return v;
}

std::vector<int> Drain(FeedPicker& picker, int source = 0, uint32_t live = 1) {
    std::vector<int> order;
    for (int piece; (piece = picker.Next(source, live)) != FeedPicker::kNone;) order.push_back(piece);
    return order;
}

FeedPolicy Trusting() {
    FeedPolicy p;
    p.firstWindow = 1 << 20;
    return p;
}

TEST(FeedPicker, AloneItTakesEveryMissingPieceOnceInItsOwnOrder) {
    FeedPicker picker(6, (4u << 16) + 4, Trusting());  // from piece 4, every fifth
    picker.SetView(ViewOf("0h0000"), 0);
    EXPECT_EQ((std::vector<int>{4, 3, 2, 0, 5}), Drain(picker));
    picker.Release(5);  // the fetch failed
    EXPECT_EQ((std::vector<int>{5}), Drain(picker));
    // Another copy's order: every piece once, a different sequence.
    FeedPicker other(1000, 12345u * 65536u + 777u, Trusting());
    other.SetView(ViewOf(std::string(1000, '0')), 0);
    std::vector<int> order = Drain(other);
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(i, sorted[i]);
    EXPECT_EQ(777, order[0]);
    EXPECT_NE(778, order[1]);
}

TEST(FeedPicker, PiecesPeersCanGiveAreLeftToThemWhileTheyKeepUp) {
    const uint32_t MB = 1 << 20;
    struct Case {
        uint32_t httpRate;  // what the servers showed lately (0: nothing yet)
        uint32_t peerRate;
        std::vector<int> taken;
    } cases[] = {
        {0, 2 * MB, {0}},               // floor met: only what nobody has
        {0, MB / 2, {0, 2, 3, 1}},      // below the floor: peers' pieces too, their queue last
        {10 * MB, 6 * MB, {0}},         // half the servers' rate met
        {10 * MB, 4 * MB, {0, 2, 3, 1}},
    };
    for (const Case& c : cases) {
        FeedPicker picker(4, 0, Trusting());
        picker.ObserveHttp(0, 0);
        picker.ObserveHttp(1000, c.httpRate);
        picker.SetView(ViewOf("0222", c.peerRate, "-f--"), 1000);
        EXPECT_EQ(c.taken, Drain(picker)) << c.httpRate << " " << c.peerRate;
    }
}

TEST(FeedPicker, AmongUsefulPeersTheServersHaveFewPiecesInFlight) {
    FeedPicker picker(10, 0);
    picker.SetView(ViewOf("h000000000"), 0);  // nobody else has anything: no limit but trust
    EXPECT_EQ(4u, Drain(picker, 0).size());
    EXPECT_EQ(4u, Drain(picker, 1, 0b11).size());
    FeedPicker among(10, 0);
    among.SetView(ViewOf("h000000001", 10 << 20), 0);
    EXPECT_EQ(4u, Drain(among, 0).size());
    EXPECT_EQ(0u, Drain(among, 1, 0b11).size());  // the copy's four are out
}

TEST(FeedPicker, AFailedPieceGoesToAnotherServerWhileOneIsLeft) {
    FeedPicker picker(2, 0, Trusting());
    picker.SetView(ViewOf("00"), 0);
    ASSERT_EQ(0, picker.Next(0, 0b11));
    picker.Delivered(0, 0, 10);
    EXPECT_EQ(FeedPicker::kNone, picker.Checked(1, false));  // not the servers' piece
    EXPECT_EQ(0, picker.Checked(0, false));
    EXPECT_EQ(1, picker.Next(0, 0b11));
    EXPECT_EQ(0, picker.Next(1, 0b11));
    picker.Release(0);
    picker.Release(1);
    EXPECT_EQ(1, picker.Next(0, 0b11));
    picker.Release(1);
    EXPECT_EQ(0, picker.Next(0, 0b01));  // the other server is gone: try again
    picker.Delivered(0, 0, 20);
    EXPECT_EQ(0, picker.Checked(0, true));
    EXPECT_EQ((std::vector<int>{1}), Drain(picker, 0, 0b11));
}

TEST(FeedPicker, AServerGetsMoreUncheckedPiecesAsItsPiecesPassAndOneAfterAFailure) {
    FeedPicker picker(100, 0);
    picker.SetView(ViewOf(std::string(100, '0')), 0);
    std::vector<int> batch = Drain(picker);
    EXPECT_EQ(4u, batch.size());  // a server not yet trusted
    for (int piece : batch) {
        picker.Delivered(piece, 0, 1);
        picker.Checked(piece, true);
    }
    batch = Drain(picker);
    EXPECT_EQ(12u, batch.size());
    picker.Delivered(batch[0], 0, 2);
    picker.Checked(batch[0], false);
    EXPECT_EQ(1, picker.Window(0));
    EXPECT_EQ(4, picker.Window(1));  // another server keeps its own
    for (size_t i = 1; i < batch.size(); ++i) picker.Release(batch[i]);
    EXPECT_EQ(1u, Drain(picker).size());
}

TEST(FeedPicker, AViewOlderThanAVerdictOrADeliveryChangesNothing) {
    FeedPicker picker(3, 0, Trusting());
    picker.SetView(ViewOf("000"), 100);
    ASSERT_EQ((std::vector<int>{0, 1, 2}), Drain(picker));
    picker.Delivered(0, 0, 150);
    picker.Delivered(1, 0, 150);
    picker.Release(2);
    picker.Checked(0, true);
    picker.SetView(ViewOf("000"), 120);  // looked at before both deliveries
    EXPECT_EQ((std::vector<int>{2}), Drain(picker));
    picker.Release(2);
    // No verdict for a minute: the swarm dropped the piece unseen.
    picker.SetView(ViewOf("000"), 150 + 60001);
    EXPECT_EQ((std::vector<int>{1, 2}), Drain(picker));
}

TEST(RateWindow, TheBestSecondOfTheWindowCounts) {
    RateWindow w(3000);
    w.Observe(0, 0);
    w.Observe(500, 100);  // not a second yet
    EXPECT_EQ(0u, w.Best());
    w.Observe(1000, 4000);
    w.Observe(2000, 5000);
    EXPECT_EQ(4000u, w.Best());
    w.Observe(6000, 5000);  // the fast second is older than the window
    EXPECT_EQ(0u, w.Best());
}

}  // namespace
