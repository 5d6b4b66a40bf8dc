#include "engine/core/EngineSettings.h"

#include <cstdlib>

namespace vexa::engine {
namespace {

bool ToNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && out >= 0 && out < 1e15;
}

bool ApplyOne(const std::string& name, double v, EngineSettings& s) {
    auto u32 = [&](uint32_t& field, double lo) {
        if (v < lo) return false;
        field = static_cast<uint32_t>(v);
        return true;
    };
    auto i32 = [&](int& field, double lo, double hi) {
        if (v < lo || v > hi) return false;
        field = static_cast<int>(v);
        return true;
    };
    if (name == "connections") return i32(s.governor.start, 1, 16);
    if (name == "max_connections") return i32(s.governor.maxPerServer, 1, 16);
    if (name == "adaptive") {
        if (v != 0 && v != 1) return false;
        s.governor.adaptive = v != 0;
        return true;
    }
    if (name == "total") return i32(s.totalConnections, 1, 64);
    if (name == "connect_ms") return u32(s.connectTimeoutMs, 100);
    if (name == "stall_ms") return u32(s.stallTimeoutMs, 200);
    if (name == "persist_ms") return u32(s.persistIntervalMs, 50);
    if (name == "block") return u32(s.planner.blockSize, 4096);
    if (name == "piece") {
        if (v < 4096) return false;
        s.planner.minPiece = static_cast<uint64_t>(v);
        return true;
    }
    if (name == "dup_share") {
        if (v > 0.5) return false;
        s.planner.duplicateShare = v;
        return true;
    }
    if (name == "max_size") {
        if (v < 1) return false;
        s.maxFileSize = static_cast<uint64_t>(v);
        return true;
    }
    if (name == "late_ms") return u32(s.planner.lateAfterMs, 0);
    if (name == "endgame_quiet_ms") return u32(s.planner.endgameQuietMs, 0);
    if (name == "retry_base_ms") return u32(s.retry.baseDelayMs, 1);
    if (name == "retry_max_ms") return u32(s.retry.maxDelayMs, 1);
    if (name == "max_failures") return i32(s.retry.maxConsecutiveFailures, 1, 1000);
    if (name == "retry_transport_ms") return u32(s.retry.transportMaxDelayMs, 1);
    return false;
}

}  // namespace

int ForEachTuningPair(const std::string& text, const TuningPairFn& apply) {
    int applied = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string pair = text.substr(start, end - start);
        size_t eq = pair.find('=');
        if (eq != std::string::npos && apply(pair.substr(0, eq), pair.substr(eq + 1))) ++applied;
        start = end + 1;
    }
    return applied;
}

int ApplyTuning(const std::string& text, EngineSettings& settings) {
    return ForEachTuningPair(text, [&](const std::string& name, const std::string& value) {
        double v = 0;
        return ToNumber(value, v) && ApplyOne(name, v, settings);
    });
}

}  // namespace vexa::engine
