#pragma once
// The nginx configuration that serves a staged web root.

#include <string>

namespace publish {

struct NginxSite {
    std::string listen;     // address:port
    std::string webRoot;    // absolute
    std::string statsLog;   // absolute; one line per usage report
    std::string accessLog;  // absolute
    std::string dumpRoot;   // absolute, outside the web root; crash dumps land here
};

// How often one client may upload: the uploader sends at most eleven dumps a run (each at
// most kMaxDumpBytes, its own bound and the location's body limit).
constexpr char kDumpRate[] = "1r/m";
constexpr int kDumpBurst = 11;

// A site to include inside an http block: the statistics log format and one server.
std::string NginxSiteText(const NginxSite& site);

// A whole configuration for an unprivileged nginx of its own (nginx -p FOLDER -c FILE): pid,
// error log and temporary folders inside `folder`, the site included.
std::string NginxMainText(const std::string& folder, const std::string& siteFile);

// The statistics log's line format, for the documentation and the reader.
constexpr char kStatsLogFormat[] = "$time_iso8601\\t$remote_addr\\t$uri\\t$args";

}  // namespace publish
