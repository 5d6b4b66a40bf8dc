#include "Stage.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "LocalFiles.h"
#include "NginxConfig.h"
#include "SwarmStage.h"
#include "base/TextCodec.h"
#include "config/ProfileDocument.h"
#include "engine/core/TaskUrl.h"

namespace fs = std::filesystem;

namespace publish {
namespace {

struct Target {
    std::string url;
    std::string name;  // the file name the address ends in
};

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A path with a ".." segment (or a backslash, which some systems take for a separator) could
// put a file outside the web root.
bool LeavesRoot(const std::string& urlPath) {
    if (urlPath.find('\\') != std::string::npos) return true;
    size_t start = 0;
    while (start <= urlPath.size()) {
        size_t end = urlPath.find('/', start);
        if (end == std::string::npos) end = urlPath.size();
        if (urlPath.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

std::vector<Target> TargetsOf(const ConfigValues& values) {
    std::vector<Target> targets;
    const auto seeds = vexa::engine::SplitSeedList(Utf8FromWide(values.seedUrl));
    for (const PackageFile& part : values.parts) {
        const std::string link = Utf8FromWide(part.link);
        const std::string name = vexa::engine::FileNameOfLink(link);
        targets.push_back({link, name});
        for (const std::string& seed : seeds)
            targets.push_back({vexa::engine::SeedFileUrl(seed, name), name});
    }
    for (const std::wstring* link : {&values.skinLink, &values.quilletDownloaderLink}) {
        if (link->empty()) continue;
        const std::string url = Utf8FromWide(*link);
        targets.push_back({url, vexa::engine::FileNameOfLink(url)});
    }
    return targets;
}

class CStager {
public:
    CStager(const StageRequest& request, StageResult& result)
        : request_(request), result_(result) {}

    void Run() {
        for (const std::string& file : request_.files)
            byName_[Utf8Of(PathOf(file).filename())] = file;
        swarm_.tracker = request_.tracker;
        for (const StagedPackage& package : request_.packages) StagePackage(package);
        result_.placed.insert(result_.placed.end(), swarm_.placed.begin(), swarm_.placed.end());
        result_.problems.insert(result_.problems.end(), swarm_.problems.begin(),
                                swarm_.problems.end());
        if (result_.problems.empty()) WriteNginxFiles();
    }

private:
    void StagePackage(const StagedPackage& package) {
        std::string bytes;
        if (!ReadWholeFile(package.document, &bytes)) {
            result_.problems.push_back("cannot read " + package.document);
            return;
        }
        CProfileDocument reader(DecodeProfileBytes(bytes).text);
        ConfigValues values;
        std::wstring missing;
        if (!ParseConfigDocument(reader, std::wstring(), values, &missing)) {
            result_.problems.push_back(package.document + ": the program finds no " +
                                       Utf8FromWide(missing));
            return;
        }
        Place(package.document, "/publish/tool/muldown/" + package.id + ".html");
        for (const Target& target : TargetsOf(values)) {
            vexa::engine::HttpUrl url;
            if (!vexa::engine::ParseHttpUrl(target.url, url)) {
                result_.problems.push_back("not a plain http:// address: " + target.url);
                continue;
            }
            auto found = byName_.find(PercentDecoded(target.name));
            if (found == byName_.end()) {
                result_.problems.push_back("no file given for " + target.url);
                continue;
            }
            Place(found->second, PercentDecoded(url.target.substr(0, url.target.find('?'))));
        }
        if (!request_.tracker.empty()) StageTorrents(values);
    }

    void StageTorrents(const ConfigValues& values) {
        const auto seeds = vexa::engine::SplitSeedList(Utf8FromWide(values.seedUrl));
        for (const PackageFile& part : values.parts) {
            const std::string link = Utf8FromWide(part.link);
            vexa::engine::HttpUrl url;
            if (!vexa::engine::ParseHttpUrl(link, url)) continue;  // reported above
            const std::string path =
                request_.webRoot + PercentDecoded(url.target.substr(0, url.target.find('?')));
            std::error_code code;
            if (fs::is_regular_file(PathOf(path), code)) StageTorrent(link, seeds, path, swarm_);
        }
    }

    void Place(const std::string& source, const std::string& urlPath) {
        if (LeavesRoot(urlPath)) {
            result_.problems.push_back("a path leaves the web root: " + urlPath);
            return;
        }
        std::string error;
        const std::string target = request_.webRoot + urlPath;
        if (!PlaceFile(source, target, &error)) {
            result_.problems.push_back("cannot place " + source + " at " + target + ": " + error);
            return;
        }
        result_.placed.push_back(urlPath + " <- " + source);
    }

    // Links followed and no trailing separator, so two spellings of one folder compare equal.
    static fs::path Resolved(const std::string& folder) {
        std::error_code code;
        fs::path path = fs::weakly_canonical(fs::absolute(PathOf(folder)), code);
        if (code) path = fs::absolute(PathOf(folder)).lexically_normal();
        return path.has_filename() ? path : path.parent_path();
    }

    // Uploads must never be served back, so they live outside the web root.
    std::string DumpFolder(const std::string& confFolder) {
        const fs::path dumps = Resolved(request_.dumpFolder.empty() ? confFolder + "/crashdumps"
                                                                    : request_.dumpFolder);
        const fs::path root = Resolved(request_.webRoot);
        const auto inside = std::mismatch(root.begin(), root.end(), dumps.begin(), dumps.end());
        if (inside.first == root.end()) {
            result_.problems.push_back("the crash-dump folder " + Utf8Of(dumps) +
                                       " is inside the web root (give --dumps)");
            return std::string();
        }
        std::error_code code;
        fs::create_directories(dumps / ".incoming", code);
        return Utf8Of(dumps);
    }

    void WriteNginxFiles() {
        const std::string folder = Utf8Of(fs::absolute(PathOf(request_.confFolder)));
        std::error_code code;
        fs::create_directories(PathOf(folder + "/temp"), code);
        NginxSite site;
        site.dumpRoot = DumpFolder(folder);
        if (site.dumpRoot.empty()) return;
        site.listen = request_.listen;
        site.webRoot = Utf8Of(fs::absolute(PathOf(request_.webRoot)));
        site.statsLog = folder + "/stats.log";
        site.accessLog = folder + "/access.log";
        const std::string siteFile = folder + "/vexa-site.conf";
        if (!WriteFileAtomically(siteFile, NginxSiteText(site)) ||
            !WriteFileAtomically(folder + "/nginx.conf", NginxMainText(folder, siteFile))) {
            result_.problems.push_back("cannot write the nginx configuration in " + folder);
        }
        if (!request_.tracker.empty() && !WriteTrackerConfig(folder, swarm_))
            result_.problems.push_back("cannot write the tracker's configuration in " + folder);
    }

    const StageRequest& request_;
    StageResult& result_;
    std::map<std::string, std::string> byName_;
    SwarmStage swarm_;
};

}  // namespace

StageResult StageSite(const StageRequest& request) {
    StageResult result;
    CStager(request, result).Run();
    return result;
}

}  // namespace publish
