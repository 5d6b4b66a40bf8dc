#pragma once
// How a copy takes part in a swarm. The defaults are for players' machines; a front end or a
// test changes them with the same tuning text as the HTTP side ("name=value;...").

#include <cstdint>
#include <string>

namespace vexa::engine {

struct SwarmSettings {
    bool enabled = true;  // look for a torrent beside the link at all
    // A copy listens for peers: two copies behind one line (a school, an internet café) can
    // only reach each other when one of them accepts connections, and Local Service
    // Discovery announces a listening port. If the user declines the firewall's question,
    // connections the copy makes itself still carry pieces both ways.
    bool listen = true;
    std::string listenIp;  // empty: every interface; a test gives each copy its own address
    uint16_t listenPort = 0;  // 0: a free port chosen by the system (several copies per machine)
    // Upload to peers outside the local network, bytes per second. 512 KiB/s (4 Mbit/s) is
    // under half of the upstream of a common 10-50 Mbit/s home line, so the player's own
    // browsing and games stay responsive while the copy still gives the swarm a real share;
    // peers on the local network are not capped (a LAN carries it without harm).
    int uploadLimit = 512 * 1024;
    bool localDiscovery = true;  // BEP 14 on the local network
    bool utp = true;             // loopback tests turn it off: uTP over loopback is slow
    // The engine's own HTTP connections fetch the pieces that come from the link and its
    // seed copies (the swarm's web seeds open one connection per server, several times
    // slower from servers that cap each connection); 0 leaves them to the web seeds.
    bool httpFeed = true;
    // Web-seed requests are kept to about a piece so the origin is not asked for long ranges
    // that peers also deliver.
    int webSeedRequestBytes = 1 << 20;
    int connectionsLimit = 200;
    // A peer that serves this copy nothing it can use is not kept connected for long.
    int inactivityTimeoutS = 60;
};

// Applies the swarm's names of the tuning text: swarm, listen, listen_ip, listen_port,
// upload_kib, lsd, utp, http_feed, webseed_request_kib, peers, peer_timeout_s. Unknown names (the
// HTTP side's) and bad values are ignored. Returns the number applied.
int ApplySwarmTuning(const std::string& text, SwarmSettings& settings);

}  // namespace vexa::engine
