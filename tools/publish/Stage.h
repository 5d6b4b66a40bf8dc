#pragma once
// Laying out a web root for published packages and the nginx configuration that serves it.

#include <optional>
#include <string>
#include <vector>

#include "base/Ed25519.h"

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
    std::string release;  // the release's name; empty: the time of staging
    std::vector<StagedPackage> packages;
    std::vector<std::string> files;  // package files, seed copies, skin image, companion
    // Signs each staged document; without it a signature authored beside a document goes too.
    std::optional<Ed25519SecretKey> signingKey;
    // Not empty: a torrent beside every package file, announcing to this tracker ("none":
    // peers find each other on the local network only), and the tracker's configuration.
    std::string tracker;
};

struct StageResult {
    std::vector<std::string> placed;    // "URL <- file"
    std::vector<std::string> problems;  // nothing usable was staged when not empty
};

// Every address a document names (files, their seed copies, the skin image, the companion
// installer) gets the given file of the same name at its path under the web root, kept in a
// new release of the package (Releases.h); the document goes live last, at
// /publish/tool/muldown/<id>.html. A file that is not the one the document lists, or an
// address that a kept release serves with other bytes, refuses the whole stage.
StageResult StageSite(const StageRequest& request);

}  // namespace publish
