#include "engine/core/SwarmSettings.h"

#include <cstdlib>

#include "engine/core/EngineSettings.h"

namespace vexa::engine {
namespace {

bool Number(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0' && out >= lo && out <= hi;
}

// A dotted IPv4 address; the swarm's test addresses are loopback ones.
bool Ipv4(const std::string& text) {
    int parts = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('.', start);
        if (end == std::string::npos) end = text.size();
        long long value = 0;
        if (end - start > 3 || !Number(text.substr(start, end - start), 0, 255, value)) return false;
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

bool ApplyOne(const std::string& name, const std::string& value, SwarmSettings& s) {
    long long v = 0;
    auto flag = [&](bool& field) {
        if (!Number(value, 0, 1, v)) return false;
        field = v == 1;
        return true;
    };
    auto integer = [&](int& field, long long lo, long long hi, long long scale) {
        if (!Number(value, lo, hi, v)) return false;
        field = static_cast<int>(v * scale);
        return true;
    };
    if (name == "swarm") return flag(s.enabled);
    if (name == "listen") return flag(s.listen);
    if (name == "lsd") return flag(s.localDiscovery);
    if (name == "utp") return flag(s.utp);
    if (name == "http_feed") return flag(s.httpFeed);
    if (name == "upload_kib") return integer(s.uploadLimit, 0, 1 << 20, 1024);
    if (name == "webseed_request_kib") return integer(s.webSeedRequestBytes, 16, 16384, 1024);
    if (name == "peers") return integer(s.connectionsLimit, 2, 2000, 1);
    if (name == "peer_timeout_s") return integer(s.inactivityTimeoutS, 5, 3600, 1);
    if (name == "listen_port") {
        if (!Number(value, 0, 65535, v)) return false;
        s.listenPort = static_cast<uint16_t>(v);
        return true;
    }
    if (name == "listen_ip") {
        if (!value.empty() && !Ipv4(value)) return false;
        s.listenIp = value;
        return true;
    }
    return false;
}

}  // namespace

int ApplySwarmTuning(const std::string& text, SwarmSettings& settings) {
    return ForEachTuningPair(text, [&](const std::string& name, const std::string& value) {
        return ApplyOne(name, value, settings);
    });
}

}  // namespace vexa::engine
