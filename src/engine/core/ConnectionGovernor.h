#pragma once
// How many connections one server gets. A server may cap each connection's speed (many
// mirrors and CDNs do), so a few connections can leave most of the line unused; more
// connections to a server that is already the bottleneck only cost. The governor starts
// with a few, measures the server's total rate, and keeps adding connections (doubling,
// so that a capped server is used fully within a second or so) while the added ones raise
// the total rate by a fair share each; when they do not, it stops, and when they add
// nothing at all, it goes back. A server that refuses more (503/429, resets on connect)
// gets one fewer and no further growth. Pure bookkeeping: the caller passes the time.

#include <cstdint>

namespace vexa::engine {

struct GovernorSettings {
    int start = 4;            // connections a server gets at first
    int maxPerServer = 16;    // never more than this to one server
    bool adaptive = true;     // false: always `start`
    uint32_t settleMs = 100;  // new connections connect and reach speed before judging
    uint32_t windowMs = 200;  // the rate is measured over this long
};

class ConnectionGovernor {
public:
    explicit ConnectionGovernor(const GovernorSettings& settings, int ceiling = 1 << 30);

    int Limit() const { return limit_; }
    bool Growing() const { return phase_ != Phase::Done; }
    // The server refused another connection: one fewer, and no more growth. Refusals
    // within a second of the last one count once (connections fail together).
    void Lower(uint64_t nowMs);
    // The controller's regular look: the source's bytes so far, and whether every allowed
    // connection had work (growth is judged only then: idle connections prove nothing).
    // Returns true when the limit changed.
    bool Observe(uint64_t nowMs, uint64_t bytes, bool saturated);

private:
    enum class Phase { Settle, Measure, Done };
    bool Judge(double rate);
    void Grow(uint64_t nowMs);

    GovernorSettings settings_;
    int max_;
    int limit_;
    int previous_ = 0;          // the count the last rate was measured at
    double previousRate_ = -1;  // bytes per second; < 0 while there is no baseline
    Phase phase_ = Phase::Settle;
    uint64_t phaseStartMs_ = 0;
    uint64_t bytesAtStart_ = 0;
    bool started_ = false;
    uint64_t lastLowerMs_ = 0;
    bool lowered_ = false;
};

}  // namespace vexa::engine
