#include "engine/core/RetryPolicy.h"

#include <algorithm>

namespace vexa::engine {

uint32_t BackoffDelayMs(int failures, uint32_t random, const RetrySettings& s) {
    if (failures < 1) failures = 1;
    uint64_t d = s.baseDelayMs;
    for (int i = 1; i < failures && d < s.maxDelayMs; ++i) d *= 2;
    d = std::min<uint64_t>(d, s.maxDelayMs);
    uint64_t half = d / 2;
    return static_cast<uint32_t>(half + (half ? random % (d - half + 1) : 0));
}

void SourceHealth::OnFailure(FailureKind kind, uint64_t nowMs, long long retryAfterSeconds,
                             uint32_t random, uint64_t sentInRound) {
    if (kind == FailureKind::Fatal) {
        dropped_ = true;
        return;
    }
    if (kind == FailureKind::Transport || kind == FailureKind::Refused) {
        if (kind == FailureKind::Refused) connectionLimit_ = std::max(1, connectionLimit_ - 1);
        RetrySettings capped = settings_;
        capped.maxDelayMs = std::min(settings_.maxDelayMs, settings_.transportMaxDelayMs);
        ++transportFailures_;
        notBeforeMs_ =
            std::max(notBeforeMs_, nowMs + BackoffDelayMs(transportFailures_, random, capped));
        return;
    }
    const bool counts = sentInRound == round_;
    if (counts) {
        ++consecutiveFailures_;
        ++round_;
    }
    uint64_t wait = counts ? BackoffDelayMs(consecutiveFailures_, random, settings_) : 0;
    if (kind == FailureKind::Throttled) {
        if (counts) connectionLimit_ = std::max(1, connectionLimit_ - 1);
        if (retryAfterSeconds >= 0) wait = std::max<uint64_t>(wait, retryAfterSeconds * 1000ull);
    }
    notBeforeMs_ = std::max(notBeforeMs_, nowMs + wait);
    if (consecutiveFailures_ >= settings_.maxConsecutiveFailures) dropped_ = true;
}

}  // namespace vexa::engine
