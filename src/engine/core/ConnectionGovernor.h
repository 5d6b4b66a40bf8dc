#pragma once
// How many connections one server gets. A server may cap each connection's speed (many
// mirrors and CDNs do), so a few connections can leave most of the line unused; more
// connections to a server that is already the bottleneck only cost. The governor starts
// with a few, measures the server's total rate, and doubles the count while the added
// connections raise the total rate by a fair share each; when they do not, it stops, and
// when they add nothing at all, it goes back.
//
// Every look is judged on rate evidence rather than a fixed long wait: a count is measured
// as soon as each of its connections has carried enough bytes for its rate to mean
// something (on a fast line a tenth of a second, on a slow one longer). Growing on short
// evidence is cheap when it is wrong (the next look gives the connections back); stopping
// is not (a capped server would stay slow for the whole download), so a count that seems
// not to pay is watched a while longer before growth ends.
//
// A server that refuses more (503/429, resets on connect) gets fewer, down to the
// connections it still serves, and no further growth. Pure bookkeeping: the caller passes
// the time.

#include <cstdint>

namespace vexa::engine {

struct GovernorSettings {
    int start = 4;                        // connections a server gets at first
    int maxPerServer = 16;                // never more than this to one server
    bool adaptive = true;                 // false: always `start`
    uint32_t settleMs = 25;               // new connections connect before their bytes count
    uint32_t windowMs = 75;               // the shortest look at a count's rate ...
    uint32_t evidenceBytes = 128 * 1024;  // ... with at least this much per connection
    uint32_t longestWindowMs = 1000;      // a slow line is judged on what came by then
    uint32_t confirmMs = 300;             // a count that seems not to pay: look this long
};

class ConnectionGovernor {
public:
    explicit ConnectionGovernor(const GovernorSettings& settings, int ceiling = 1 << 30);

    int Limit() const { return limit_; }
    bool Growing() const { return phase_ != Phase::Done; }
    // The server refused another connection while `working` of ours were receiving from
    // it: no more growth, and fewer connections: at most half go, and no more than it
    // takes to come down to those that work. Refusals within a second of the last one
    // count once (connections fail together).
    void Lower(uint64_t nowMs, int working);
    // The controller's regular look: the source's bytes so far, and whether every allowed
    // connection had work (growth is judged only then: idle connections prove nothing).
    // Returns true when the limit changed.
    bool Observe(uint64_t nowMs, uint64_t bytes, bool saturated);

private:
    enum class Phase { Settle, Measure, Done };
    enum class Verdict { Grow, Wait, Stop };
    Verdict Judge(double rate, bool confirmed);
    void Grow(uint64_t nowMs);

    GovernorSettings settings_;
    int max_;
    int limit_;
    int previous_ = 0;          // the count the last rate was measured at
    double previousRate_ = -1;  // bytes per second; < 0 while there is no baseline
    Phase phase_ = Phase::Settle;
    uint64_t phaseStartMs_ = 0;
    uint64_t bytesAtStart_ = 0;
    bool started_ = false;  // observed before: the settling has a start
    uint64_t lastLowerMs_ = 0;
    bool lowered_ = false;
};

}  // namespace vexa::engine
