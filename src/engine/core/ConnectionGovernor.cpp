#include "engine/core/ConnectionGovernor.h"

#include <algorithm>

namespace vexa::engine {
namespace {

// Added connections pay when each brings at least this share of an old one's rate ...
const double kPays = 0.5;
// ... are kept (but not added to) above this share, and given back below it.
const double kWorthKeeping = 0.1;

}  // namespace

ConnectionGovernor::ConnectionGovernor(const GovernorSettings& settings, int ceiling)
    : settings_(settings) {
    max_ = std::max(1, std::min(settings_.maxPerServer, ceiling));
    limit_ = std::clamp(settings_.start, 1, max_);
    if (!settings_.adaptive || limit_ >= max_) phase_ = Phase::Done;
}

void ConnectionGovernor::Lower(uint64_t nowMs, int working) {
    phase_ = Phase::Done;
    if (lowered_ && nowMs < lastLowerMs_ + 1000) return;
    lowered_ = true;
    lastLowerMs_ = nowMs;
    limit_ = std::max(1, std::min(limit_ - 1, std::max(working, (limit_ + 1) / 2)));
}

bool ConnectionGovernor::Observe(uint64_t nowMs, uint64_t bytes, bool saturated) {
    if (phase_ == Phase::Done) return false;
    if (!saturated || !started_) {
        // Judge only a stretch in which every connection had work from its start: the
        // settling begins anew whenever one had none.
        started_ = true;
        phase_ = Phase::Settle;
        phaseStartMs_ = nowMs;
        return false;
    }
    uint64_t elapsed = nowMs - phaseStartMs_;
    if (phase_ == Phase::Settle) {
        if (elapsed >= settings_.settleMs) {
            phase_ = Phase::Measure;
            phaseStartMs_ = nowMs;
            bytesAtStart_ = bytes;
        }
        return false;
    }
    // Enough evidence: every connection carried its share, or the line is too slow for
    // that and the longest look is over.
    uint64_t got = bytes - bytesAtStart_;
    bool enough = elapsed >= settings_.windowMs &&
                  (got >= uint64_t{settings_.evidenceBytes} * static_cast<uint64_t>(limit_) ||
                   elapsed >= settings_.longestWindowMs);
    if (!enough) return false;
    double rate = static_cast<double>(got) * 1000.0 / static_cast<double>(elapsed);
    int before = limit_;
    bool confirmed = elapsed >= std::max(settings_.confirmMs, settings_.windowMs);
    if (Judge(rate, confirmed) == Verdict::Grow) Grow(nowMs);
    return limit_ != before;
}

// Decides on the count just measured. A count that seems not to pay is only given up on
// a confirmed (longer) look; until then the look goes on.
ConnectionGovernor::Verdict ConnectionGovernor::Judge(double rate, bool confirmed) {
    if (previousRate_ >= 0) {
        int added = limit_ - previous_;
        double perOld = previousRate_ / std::max(previous_, 1);
        double gain = rate - previousRate_;
        if (gain < kPays * added * perOld) {
            if (!confirmed) return Verdict::Wait;
            if (gain < kWorthKeeping * added * perOld) limit_ = previous_;
            phase_ = Phase::Done;
            return Verdict::Stop;
        }
    }
    previous_ = limit_;
    previousRate_ = rate;
    if (limit_ >= max_) {
        phase_ = Phase::Done;
        return Verdict::Stop;
    }
    return Verdict::Grow;
}

void ConnectionGovernor::Grow(uint64_t nowMs) {
    limit_ = std::min(max_, limit_ * 2);
    phase_ = Phase::Settle;
    phaseStartMs_ = nowMs;  // the new connections settle from now
}

}  // namespace vexa::engine
