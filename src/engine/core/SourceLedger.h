#pragma once
// Bytes and speeds of a swarm download by kind of source. The swarm reports counters per
// live connection only; a connection that closes takes its counter with it and one that
// comes back under the same address starts from zero, so the ledger keeps what each
// connection had delivered when it was last seen.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vexa::engine {

enum class SourceKind { kOrigin, kSeedServer, kPeer };

struct ConnectionSample {
    std::string key;  // the connection's remote endpoint and kind
    SourceKind kind = SourceKind::kPeer;
    uint64_t received = 0;  // payload bytes over the connection's life
    uint32_t rate = 0;      // payload bytes per second now
};

// A web seed on the origin's own endpoint is the origin; other web seeds are seed servers.
SourceKind KindOfSource(bool webSeed, const std::string& endpoint,
                        const std::string& originEndpoint);

struct SourceSpeeds {
    uint32_t origin = 0;
    uint32_t others = 0;  // seed servers and peers: the record's second speed
    uint32_t peers = 0;
};

SourceSpeeds SpeedsOf(const std::vector<ConnectionSample>& live);

class SourceLedger {
public:
    // Adds what each live connection received since the last look.
    void Update(const std::vector<ConnectionSample>& live);
    uint64_t Bytes(SourceKind kind) const { return bytes_[static_cast<int>(kind)]; }

private:
    std::map<std::string, uint64_t> seen_;
    uint64_t bytes_[3] = {0, 0, 0};
};

}  // namespace vexa::engine
