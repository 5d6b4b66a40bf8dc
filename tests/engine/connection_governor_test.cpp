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
// is `rate(n)`, looking every 50 ms for `seconds`.
int Settle(ConnectionGovernor& g, const std::function<double(int)>& rate, double seconds = 5) {
    double bytes = 0;
    for (uint64_t t = 0; t <= static_cast<uint64_t>(seconds * 1000); t += 50) {
        g.Observe(t, static_cast<uint64_t>(bytes), true);
        bytes += rate(g.Limit()) * 0.05;
    }
    return g.Limit();
}

TEST(ConnectionGovernor, CappedConnectionsGrowToTheMostAServerMayGet) {
    ConnectionGovernor g(GovernorSettings{});
    EXPECT_EQ(4, g.Limit());
    EXPECT_EQ(16, Settle(
                      g, [](int n) { return n * 4e6; }, 2.0))
        << "within two seconds";
    EXPECT_FALSE(g.Growing());
    ConnectionGovernor bounded(GovernorSettings{}, 6);  // the total bound leaves it six
    EXPECT_EQ(6, Settle(bounded, [](int n) { return n * 4e6; }));
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
}

TEST(ConnectionGovernor, RefusalsLowerAndStopGrowth) {
    ConnectionGovernor g(GovernorSettings{});
    Settle(
        g, [](int n) { return n * 4e6; }, 0.5);
    int before = g.Limit();
    g.Lower(10000);
    g.Lower(10500);
    EXPECT_EQ(before - 1, g.Limit()) << "connections refused together count once";
    EXPECT_EQ(before - 1, Settle(g, [](int n) { return n * 4e6; }));
    for (int i = 0; i < 40; ++i) g.Lower(11000 + i * 1000);
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
    EXPECT_EQ(p.minPiece, RequestCap(8u << 20, 8u << 20, 8, p)) << "a piece at least";
    EXPECT_EQ(0u, RequestCap(GiB + 1, GiB + 1, 1, p) % p.blockSize);
    EXPECT_EQ(512u << 10, RequestCap(GiB, 8u << 20, 16, p)) << "near the end: a share each";
    EXPECT_EQ(2u * p.blockSize, RequestCap(GiB, 100, 16, p)) << "but two blocks at least";
}

}  // namespace
