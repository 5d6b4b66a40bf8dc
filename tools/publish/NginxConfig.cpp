#include "NginxConfig.h"

#include "crashupload/CrashUploadRules.h"

namespace publish {

std::string NginxSiteText(const NginxSite& site) {
    std::string t;
    t += "# Written by vexa_publish stage; include it inside nginx's http block.\n";
    t += "#\n";
    t += "# The statistics log holds one line per usage report, fields separated by tabs:\n";
    t += "# time (ISO 8601), client address, path (/ClientApp/<report>/), query as sent.\n";
    t += std::string("log_format vexa_stats '") + kStatsLogFormat + "';\n\n";
    t += "# Crash-dump uploads per client address: a run of the uploader at once, then one a\n";
    t += "# minute; more are refused with 429 (the uploader keeps the dump for its next run).\n";
    t += std::string("limit_req_zone $binary_remote_addr zone=vexa_crashdumps:1m rate=") +
         kDumpRate + ";\n\n";
    t += "server {\n";
    t += "    listen " + site.listen + ";\n";
    t += "    server_name _;\n";
    t += "    root " + site.webRoot + ";\n";
    t += "    access_log " + site.accessLog + ";\n\n";
    t += "    # The configuration documents: read afresh on every start of the program.\n";
    t += "    location ^~ /publish/tool/muldown/ {\n";
    t += "        default_type text/html;\n";
    t += "        add_header Cache-Control \"no-cache\";\n";
    t += "    }\n\n";
    t += "    # The releases' own folders: the web root serves their files at the documents'\n";
    t += "    # addresses, never from here.\n";
    t += "    location ^~ /.releases/ {\n";
    t += "        return 404;\n";
    t += "    }\n\n";
    t += "    # Usage reports: the program ignores the answer, so an empty 200 is all it gets;\n";
    t += "    # each request is one line of the statistics log (vexa_publish stats reads it).\n";
    t += "    location ^~ /ClientApp/ {\n";
    t += "        access_log " + site.statsLog + " vexa_stats;\n";
    t += "        default_type text/plain;\n";
    t += "        return 200 \"\";\n";
    t += "    }\n\n";
    t += "    # Crash dumps from the uploader beside the program, anonymous like the reports:\n";
    t += "    # PUT /crashdump/<package>/<version>/<name>.dmp only, stored under " + site.dumpRoot +
         "\n";
    t += "    # (outside the web root; nginx's worker user must be able to write it), never\n";
    t += "    # served back. A body over the uploader's own bound is refused with 413 unread.\n";
    t += "    location /crashdump/ {\n";
    t += "        return 404;\n";
    t += "    }\n";
    t += "    location ~ \"^/crashdump/([^/]+/[^/]+/[^/]+\\.dmp)$\" {\n";
    t += "        alias " + site.dumpRoot + "/$1;\n";
    t += "        dav_methods PUT;\n";
    t += "        create_full_put_path on;\n";
    t += "        dav_access user:rw;\n";
    t += "        client_max_body_size " + std::to_string(kMaxDumpBytes) + ";\n";
    t += "        client_body_temp_path " + site.dumpRoot + "/.incoming;\n";
    t += "        limit_req zone=vexa_crashdumps burst=" + std::to_string(kDumpBurst) +
         " nodelay;\n";
    t += "        limit_req_status 429;\n";
    t += "        limit_except PUT { deny all; }\n";
    t += "    }\n\n";
    t += "    # Package files, seed copies, the skin image and the companion installer: static\n";
    t += "    # files. nginx answers a single Range with 206 and Content-Range, which the\n";
    t += "    # program's engine needs to fetch one file over several connections and seeds.\n";
    t += "    location / {\n";
    t += "        max_ranges 1;\n";
    t += "        default_type application/octet-stream;\n";
    t += "    }\n";
    t += "}\n";
    return t;
}

std::string NginxMainText(const std::string& folder, const std::string& siteFile) {
    std::string t;
    t += "# A private nginx for one staged site: nginx -p " + folder + " -c nginx.conf\n";
    t += "worker_processes 1;\n";
    t += "pid " + folder + "/nginx.pid;\n";
    t += "error_log " + folder + "/error.log;\n";
    t += "events { worker_connections 256; }\n";
    t += "http {\n";
    t += "    types { text/html html; image/png png; application/octet-stream exe bin; }\n";
    t += "    sendfile on;\n";
    for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        t += std::string("    ") + kind + "_temp_path " + folder + "/temp/" + kind + ";\n";
    }
    t += "    include " + siteFile + ";\n";
    t += "}\n";
    return t;
}

}  // namespace publish
