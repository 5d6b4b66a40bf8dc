#pragma once
// Tunable numbers of the engine. Defaults suit real servers; a front end or a test may
// change them with the tuning text "name=value;name=value" (SetP2spOption option 100).

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/ConnectionGovernor.h"
#include "engine/core/RangePlanner.h"
#include "engine/core/RetryPolicy.h"
#include "engine/core/SizeRule.h"

namespace vexa::engine {

struct EngineSettings {
    GovernorSettings governor;  // connections per server: start, maximum, adaptive
    int totalConnections = 32;
    uint32_t connectTimeoutMs = 10000;
    uint32_t stallTimeoutMs = 15000;  // no byte for this long: the connection is given up
    uint32_t persistIntervalMs = 1000;
    uint64_t maxFileSize = kDefaultMaxFileSize;  // a larger file ends the task (state 2)
    PlannerPolicy planner;
    RetrySettings retry;
};

// Calls `apply` with the name and value of every "name=value" pair of a tuning text; returns
// the number of pairs it accepted.
using TuningPairFn = std::function<bool(const std::string& name, const std::string& value)>;
int ForEachTuningPair(const std::string& text, const TuningPairFn& apply);

// Applies every known "name=value" pair; unknown names and bad numbers are ignored.
// Returns the number of pairs applied.
int ApplyTuning(const std::string& text, EngineSettings& settings);

}  // namespace vexa::engine
