// A source's redirect targets and failure runs, replayed report by report in the orders the
// connections can deliver them.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/RetryPolicy.h"
#include "engine/core/SourceRoute.h"

using namespace vexa::engine;

namespace {

HttpUrl Url(const char* text) {
    HttpUrl url;
    EXPECT_TRUE(ParseHttpUrl(text, url)) << text;
    return url;
}

// What a connection took with its job.
struct Request {
    SourceRoute::VisitRef visit;
    uint64_t round;
};

// One source as the task keeps it: where requests go and how it is doing.
struct Source {
    SourceRoute route{Url("http://origin.test/hop/h.bin")};
    SourceHealth health{16, RetrySettings()};

    Request Take() { return {route.Current(), health.Round()}; }
    // A 403/404/410 from the redirect target the request went to.
    void TargetGone(const Request& r, uint64_t now = 0) {
        if (route.Vanished(r.visit)) health.OnFailure(FailureKind::Transient, now, -1, 0, r.round);
    }
    // The network did not carry the request: the task's transport failure, and then the
    // target it went to is left as a vanished one would be.
    void Unreachable(const Request& r, uint64_t now = 0) {
        health.OnFailure(FailureKind::Transport, now, -1, 0, r.round);
        if (route.Unreachable(r.visit))
            health.OnFailure(FailureKind::Transient, now, -1, 0, r.round);
    }
    bool AtLink() const { return route.CurrentUrl().ToString() == route.Link().ToString(); }
};

}  // namespace

// The link redirects to a target that serves a few requests and then answers 410. Every
// connection had picked the target up; their 410s arrive together, while the connections
// still reading from it have not written anything yet (a busy machine holds their bytes).
TEST(SourceRoute, AVanishedTargetNeverCountsAgainstTheLink) {
    Source s;
    Request probe = s.Take();
    EXPECT_EQ(probe.visit, nullptr) << "the first request goes to the link";
    SourceRoute::VisitRef first = s.route.Redirected(Url("http://cdn.test/vanish1/h.bin"));
    s.route.Served(first);  // its 206 sized the file
    std::vector<Request> connections;
    for (int i = 0; i < 15; ++i) connections.push_back(s.Take());
    EXPECT_EQ(connections[0].visit, first) << "the others go to the target directly";
    s.route.Served(connections[0].visit);  // one more 206 from it
    // Fourteen 410s; one connection that already went back to the link is redirected to
    // the next target before the last of them arrive.
    Request back;
    for (size_t i = 1; i < connections.size(); ++i) {
        s.TargetGone(connections[i]);
        if (i == 1) {
            EXPECT_TRUE(s.AtLink()) << "the first 410 sends new requests back to the link";
            back = s.Take();
            EXPECT_EQ(back.visit, nullptr);
            s.route.Redirected(Url("http://cdn.test/vanish2/h.bin"));
        }
    }
    EXPECT_FALSE(s.health.Dropped()) << "a target that served and went away is no failure";
    EXPECT_EQ(0, s.health.ConsecutiveFailures());
    EXPECT_TRUE(s.health.ReadyAt(0)) << "and no reason to wait before asking the link again";
    EXPECT_EQ(s.route.CurrentUrl().ToString(), "http://cdn.test/vanish2/h.bin")
        << "a late 410 from the old target does not undo the new one";
}

// A connection is sent to a fresh target, but connections that picked the target up from
// it got there first and took its last two replies: its 410 comes after their 206s.
TEST(SourceRoute, AFreshRedirectBeatenToItsTargetIsNoFailure) {
    Source s;
    Request a = s.Take();
    SourceRoute::VisitRef visit = s.route.Redirected(Url("http://cdn.test/vanish5/h.bin"));
    Request b = s.Take(), c = s.Take();
    s.route.Served(b.visit);
    s.route.Served(c.visit);
    s.TargetGone({visit, a.round});
    EXPECT_EQ(0, s.health.ConsecutiveFailures());
    EXPECT_TRUE(s.AtLink());
}

// The link keeps sending every connection to a target that never serves: a dead origin,
// which must still end the task, counted once per redirect however many connections meet
// the dead end.
TEST(SourceRoute, ALinkThatOnlyLeadsToDeadEndsIsGivenUp) {
    Source s;
    RetrySettings settings;
    int visits = 0;
    while (!s.health.Dropped() && visits < 100) {
        ++visits;
        std::vector<Request> connections;
        for (int i = 0; i < 4; ++i) {
            connections.push_back(s.Take());
            connections.back().visit = s.route.Redirected(Url("http://cdn.test/gone/h.bin"));
        }
        for (const Request& r : connections) s.TargetGone(r);
        EXPECT_TRUE(s.AtLink());
    }
    EXPECT_TRUE(s.health.Dropped());
    EXPECT_EQ(settings.maxConsecutiveFailures, visits) << "one count per round of redirects";
}

// A CDN node that served the file goes down: every connection reading from it is reset at
// once, and the ones taking new jobs meet refusals. The link names a live node, and a node
// that served says nothing against the link, however often that happens.
TEST(SourceRoute, AnUnreachableTargetThatHadServedSendsRequestsBackAtNoCost) {
    Source s;
    for (int node = 1; node <= 50; ++node) {
        Request viaLink = s.Take();
        EXPECT_EQ(viaLink.visit, nullptr) << "node " << node << ": new requests ask the link";
        s.route.Redirected(Url("http://cdn.test/node/h.bin"));
        std::vector<Request> connections;
        for (int i = 0; i < 8; ++i) connections.push_back(s.Take());
        s.route.Served(connections[0].visit);
        for (const Request& r : connections) {
            s.Unreachable(r, 1000);
            EXPECT_TRUE(s.AtLink());
        }
    }
    EXPECT_FALSE(s.health.Dropped());
    EXPECT_EQ(0, s.health.ConsecutiveFailures());
    EXPECT_TRUE(s.health.ReadyAt(1000 + RetrySettings().transportMaxDelayMs))
        << "only the short wait of a network failure";
}

// The link redirects to a node that is down and refuses every connection: a dead end, once
// per redirect however many connections were sent there, until the link is given up.
TEST(SourceRoute, ALinkThatOnlyLeadsToUnreachableTargetsIsGivenUp) {
    Source s;
    RetrySettings settings;
    int visits = 0;
    while (!s.health.Dropped() && visits < 100) {
        ++visits;
        Request first = s.Take();
        first.visit = s.route.Redirected(Url("http://10.0.0.9:8080/h.bin"));
        std::vector<Request> connections{first};
        for (int i = 0; i < 5; ++i) connections.push_back(s.Take());
        EXPECT_EQ(connections[5].visit, first.visit) << "the others follow the redirect";
        for (const Request& r : connections) s.Unreachable(r);
        EXPECT_TRUE(s.AtLink());
    }
    EXPECT_TRUE(s.health.Dropped());
    EXPECT_EQ(settings.maxConsecutiveFailures, visits) << "one count per redirect";
}

// A connection's failure on an old visit arrives after another connection was redirected
// to a new target: the new target stays in use, and the old visit is judged on its own.
TEST(SourceRoute, ALateFailureOfAnOldVisitLeavesTheNewTargetInUse) {
    Source s;
    Request served = s.Take();
    served.visit = s.route.Redirected(Url("http://cdn.test/a/h.bin"));
    s.route.Served(served.visit);
    Request refused = s.Take();
    refused.visit = s.route.Redirected(Url("http://cdn.test/b/h.bin"));
    SourceRoute::VisitRef fresh = s.route.Redirected(Url("http://cdn.test/c/h.bin"));
    s.Unreachable(served);
    EXPECT_EQ(s.route.Current(), fresh);
    EXPECT_EQ(0, s.health.ConsecutiveFailures()) << "it had served";
    s.Unreachable(refused);
    s.Unreachable(refused);
    EXPECT_EQ(s.route.Current(), fresh);
    EXPECT_EQ(1, s.health.ConsecutiveFailures()) << "a dead end, counted once";
    s.route.Served(fresh);
    EXPECT_TRUE(s.health.ReadyAt(10000));
}

// The network goes down while the source is on a target: back to the link, which cannot be
// reached either. That is an outage: it is ridden out however long it lasts, and so is a
// target that is the link itself once more.
TEST(SourceRoute, AnOutageNeverCountsAgainstTheLink) {
    Source s;
    Request r = s.Take();
    r.visit = s.route.Redirected(Url("http://cdn.test/node/h.bin"));
    s.route.Served(r.visit);
    s.Unreachable(r);
    EXPECT_TRUE(s.AtLink());
    for (int i = 0; i < 1000; ++i) s.Unreachable(s.Take(), 1000 + i);
    Request self = s.Take();
    self.visit = s.route.Redirected(s.route.Link());
    for (int i = 0; i < 1000; ++i) s.Unreachable(self, 5000);
    EXPECT_FALSE(s.health.Dropped());
    EXPECT_EQ(0, s.health.ConsecutiveFailures());
    EXPECT_TRUE(s.health.ReadyAt(5000 + RetrySettings().transportMaxDelayMs));
}

// Eight connections send at once and a proxy answers every one of them 502 in the same
// moment: one bad answer of the server, not eight in a row.
TEST(SourceHealthRounds, AnswersOfOneMomentCountOnce) {
    RetrySettings settings;
    SourceHealth health(8, settings);
    std::vector<uint64_t> sent(8, health.Round());
    for (uint64_t round : sent) health.OnFailure(FailureKind::Transient, 1000, -1, 0, round);
    EXPECT_FALSE(health.Dropped());
    EXPECT_EQ(1, health.ConsecutiveFailures());
    // The same for an overloaded server: one connection fewer, but Retry-After is honoured
    // from whichever answer carries it.
    SourceHealth busy(8, settings);
    uint64_t round = busy.Round();
    busy.OnFailure(FailureKind::Throttled, 1000, -1, 0, round);
    busy.OnFailure(FailureKind::Throttled, 1000, 5, 0, round);
    busy.OnFailure(FailureKind::Throttled, 1000, -1, 0, round);
    EXPECT_EQ(7, busy.ConnectionLimit());
    EXPECT_FALSE(busy.ReadyAt(5999));
    EXPECT_TRUE(busy.ReadyAt(6000));
    // Requests sent after a counted answer are the next attempt: a run of them drops it.
    for (int i = 1; i < settings.maxConsecutiveFailures; ++i) {
        EXPECT_FALSE(health.Dropped());
        health.OnFailure(FailureKind::Transient, 1000, -1, 0, health.Round());
    }
    EXPECT_TRUE(health.Dropped());
}
