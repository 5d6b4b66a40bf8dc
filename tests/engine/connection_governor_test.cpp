// How many connections a server gets: servers that cap each connection, servers that are
// the bottleneck themselves, and servers that refuse more.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/core/ConnectionGovernor.h"
#include "engine/core/RangePlanner.h"

using namespace vexa::engine;

namespace {

// Drives a governor against a server whose total rate (bytes per second) for n connections
// at time t (ms) is `rate(n, t)`, looking every 50 ms for `seconds`. Returns the time (ms)
// the limit last changed.
uint64_t Drive(ConnectionGovernor& g, const std::function<double(int, uint64_t)>& rate,
               double seconds = 5) {
    double bytes = 0;
    uint64_t changedAt = 0;
    for (uint64_t t = 0; t <= static_cast<uint64_t>(seconds * 1000); t += 50) {
        if (g.Observe(t, static_cast<uint64_t>(bytes), true)) changedAt = t;
        bytes += rate(g.Limit(), t) * 0.05;
    }
    return changedAt;
}

int Settle(ConnectionGovernor& g, const std::function<double(int)>& rate, double seconds = 5) {
    Drive(
        g, [&](int n, uint64_t) { return rate(n); }, seconds);
    return g.Limit();
}

TEST(ConnectionGovernor, CappedConnectionsGrowToTheMostAServerMayGet) {
    ConnectionGovernor g(GovernorSettings{});
    EXPECT_EQ(4, g.Limit());
    EXPECT_EQ(16, Settle(
                      g, [](int n) { return n * 4e6; }, 0.5))
        << "within half a second on a fast line";
    EXPECT_FALSE(g.Growing());
    ConnectionGovernor bounded(GovernorSettings{}, 6);  // the total bound leaves it six
    EXPECT_EQ(6, Settle(bounded, [](int n) { return n * 4e6; }));
    // A slow line needs longer looks for the same evidence, but gets there.
    ConnectionGovernor slow(GovernorSettings{});
    EXPECT_EQ(16, Settle(
                      slow, [](int n) { return n * 20e3; }, 5.0));
}

TEST(ConnectionGovernor, ABottleneckServerKeepsWhatPaysAndGivesBackWhatDoesNot) {
    ConnectionGovernor flat(GovernorSettings{});
    EXPECT_EQ(4, Settle(flat, [](int) { return 100e6; })) << "more connections gain nothing";
    EXPECT_FALSE(flat.Growing());
    // Doubling to 8 gains a little (a quarter of an old connection each): kept, no more.
    ConnectionGovernor some(GovernorSettings{});
    EXPECT_EQ(8, Settle(some, [](int n) { return n <= 4 ? 40e6 : 50e6; }));
    // The line is full at 8 connections' worth: 8 pay, 16 add nothing and are given back.
    ConnectionGovernor line(GovernorSettings{});
    EXPECT_EQ(8, Settle(line, [](int n) { return std::min(n, 8) * 4e6; }));
    EXPECT_LT(Drive(
                  line, [](int n, uint64_t) { return std::min(n, 8) * 4e6; }, 5.0),
              1000u)
        << "decided within a second";
}

TEST(ConnectionGovernor, AShortDipDoesNotEndGrowthOnACappedServer) {
    // The machine is busy for a moment just as 8 connections are measured: a short look
    // would call them useless, the confirming look sees them pay.
    ConnectionGovernor g(GovernorSettings{});
    Drive(g, [](int n, uint64_t t) { return (t >= 150 && t < 250 ? 0.3 : 1.0) * n * 4e6; });
    EXPECT_EQ(16, g.Limit());
}

TEST(ConnectionGovernor, RefusalsLowerToWhatWorksAndStopGrowth) {
    ConnectionGovernor g(GovernorSettings{});
    Settle(
        g, [](int n) { return n * 4e6; }, 0.5);
    ASSERT_EQ(16, g.Limit());
    g.Lower(10000, 10);
    g.Lower(10500, 9);
    EXPECT_EQ(10, g.Limit()) << "down to the connections the server serves, once a second";
    EXPECT_EQ(10, Settle(g, [](int n) { return n * 4e6; })) << "and no more growth";
    g.Lower(11000, 10);
    EXPECT_EQ(9, g.Limit()) << "one fewer at least";
    g.Lower(12000, 0);
    EXPECT_EQ(5, g.Limit()) << "half at most";
    for (int i = 0; i < 40; ++i) g.Lower(13000 + i * 1000, 0);
    EXPECT_EQ(1, g.Limit()) << "never below one";
}

TEST(ConnectionGovernor, IdleConnectionsProveNothingAndFixedCountsStay) {
    ConnectionGovernor g(GovernorSettings{});
    for (uint64_t t = 0; t < 5000; t += 50) g.Observe(t, t * 1000, false);
    EXPECT_EQ(4, g.Limit()) << "not every connection had work: not judged";
    EXPECT_TRUE(g.Growing());
    GovernorSettings fixed;
    fixed.adaptive = false;
    fixed.start = 3;
    ConnectionGovernor still(fixed);
    EXPECT_EQ(3, Settle(still, [](int n) { return n * 4e6; }));
}

TEST(RequestCap, KeepsAFewPercentOfTheFileInFlightAndSharesTheEnd) {
    PlannerPolicy p;
    const uint64_t GiB = 1ull << 30;
    EXPECT_EQ(16u << 20, RequestCap(GiB, GiB, 4, p));
    EXPECT_EQ(2u << 20, RequestCap(GiB, GiB, 32, p));
    EXPECT_EQ(p.minPiece, RequestCap(32u << 20, 32u << 20, 8, p)) << "a piece at least";
    EXPECT_EQ(0u, RequestCap(GiB + 1, GiB + 1, 1, p) % p.blockSize);
    EXPECT_EQ(256u << 10, RequestCap(GiB, 8u << 20, 16, p)) << "near the end: half a share each";
    EXPECT_EQ(2u * p.blockSize, RequestCap(GiB, 100, 16, p)) << "but two blocks at least";
}

}  // namespace
