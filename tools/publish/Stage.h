#pragma once
// Laying out a web root for published packages and the nginx configuration that serves it.

#include <string>
#include <vector>

namespace publish {

struct StagedPackage {
    std::string id;        // the package identifier, braces included
    std::string document;  // the authored document (a file)
};

struct StageRequest {
    std::string webRoot;
    std::string confFolder;  // nginx files, logs and the run script go here
    std::string dumpFolder;  // crash-dump uploads; empty: confFolder/crashdumps
    std::string listen = "127.0.0.1:8080";
    std::vector<StagedPackage> packages;
    std::vector<std::string> files;  // package files, seed copies, skin image, companion
    // Not empty: a torrent beside every package file, announcing to this tracker ("none":
    // peers find each other on the local network only), and the tracker's configuration.
    std::string tracker;
};

struct StageResult {
    std::vector<std::string> placed;    // "URL <- file"
    std::vector<std::string> problems;  // nothing usable was staged when not empty
};

// Every address a document names (files, their seed copies, the skin image, the companion
// installer) gets the given file of the same name at its path under the web root; the
// document itself goes to /publish/tool/muldown/<id>.html.
StageResult StageSite(const StageRequest& request);

}  // namespace publish
