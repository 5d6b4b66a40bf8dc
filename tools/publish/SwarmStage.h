#pragma once
// The swarm's part of a staged site: a torrent beside every package file (at the link +
// ".torrent", where the engine looks) and the configuration of the publisher's tracker.

#include <string>
#include <vector>

namespace publish {

struct SwarmStage {
    std::string tracker;  // announce address (http://HOST:PORT/announce); "none": no tracker
    std::vector<std::string> infoHashes;  // hex, as the tracker's whitelist takes them
    std::vector<std::string> placed;
    std::vector<std::string> problems;
};

// One file: its torrent written at `localPath` + ".torrent".
void StageTorrent(const std::string& link, const std::vector<std::string>& seedBases,
                  const std::string& localPath, SwarmStage& stage);

// opentracker.conf and its whitelist in `confFolder`: opentracker as Debian builds it serves
// only listed torrents. Run: opentracker -f FOLDER/opentracker.conf
bool WriteTrackerConfig(const std::string& confFolder, const SwarmStage& stage);

}  // namespace publish
