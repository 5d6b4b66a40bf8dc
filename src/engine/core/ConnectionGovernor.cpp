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

void ConnectionGovernor::Lower(uint64_t nowMs) {
    phase_ = Phase::Done;
    if (lowered_ && nowMs < lastLowerMs_ + 1000) return;
    lowered_ = true;
    lastLowerMs_ = nowMs;
    limit_ = std::max(1, limit_ - 1);
}

bool ConnectionGovernor::Observe(uint64_t nowMs, uint64_t bytes, bool saturated) {
    if (phase_ == Phase::Done) return false;
    if (!saturated || !started_) {
        // Judge only a stretch in which every connection had work from its start.
        started_ = saturated;
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
    if (elapsed < settings_.windowMs) return false;
    double rate =
        static_cast<double>(bytes - bytesAtStart_) * 1000.0 / static_cast<double>(elapsed);
    int before = limit_;
    if (Judge(rate)) Grow(nowMs);
    return limit_ != before;
}

// Decides on the count just measured; true when it is worth growing further.
bool ConnectionGovernor::Judge(double rate) {
    if (previousRate_ >= 0) {
        int added = limit_ - previous_;
        double perOld = previousRate_ / std::max(previous_, 1);
        double gain = rate - previousRate_;
        if (gain < kPays * added * perOld) {
            if (gain < kWorthKeeping * added * perOld) limit_ = previous_;
            phase_ = Phase::Done;
            return false;
        }
    }
    previous_ = limit_;
    previousRate_ = rate;
    if (limit_ >= max_) {
        phase_ = Phase::Done;
        return false;
    }
    return true;
}

void ConnectionGovernor::Grow(uint64_t nowMs) {
    limit_ = std::min(max_, limit_ * 2);
    phase_ = Phase::Settle;
    phaseStartMs_ = nowMs;
    started_ = false;  // the new connections must have work before anything is judged
}

}  // namespace vexa::engine
