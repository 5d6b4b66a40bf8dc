#include "engine/core/SourceLedger.h"

namespace vexa::engine {

SourceKind KindOfSource(bool webSeed, const std::string& endpoint,
                        const std::string& originEndpoint) {
    if (!webSeed) return SourceKind::kPeer;
    return !originEndpoint.empty() && endpoint == originEndpoint ? SourceKind::kOrigin
                                                                 : SourceKind::kSeedServer;
}

SourceSpeeds SpeedsOf(const std::vector<ConnectionSample>& live) {
    SourceSpeeds s;
    for (const ConnectionSample& c : live) {
        if (c.kind == SourceKind::kOrigin) {
            s.origin += c.rate;
        } else {
            s.others += c.rate;
            if (c.kind == SourceKind::kPeer) s.peers += c.rate;
        }
    }
    return s;
}

void SourceLedger::Update(const std::vector<ConnectionSample>& live) {
    std::map<std::string, uint64_t> now;
    for (const ConnectionSample& c : live) {
        auto before = seen_.find(c.key);
        // A counter below the last one seen is a new connection under an old address.
        const uint64_t base =
            before != seen_.end() && before->second <= c.received ? before->second : 0;
        bytes_[static_cast<int>(c.kind)] += c.received - base;
        now[c.key] = c.received;
    }
    seen_.swap(now);
}

}  // namespace vexa::engine
