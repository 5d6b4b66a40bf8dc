#include "Stage.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "LocalFiles.h"
#include "NginxConfig.h"
#include "Releases.h"
#include "Signing.h"
#include "SwarmStage.h"
#include "base/TextCodec.h"
#include "config/ProfileDocument.h"
#include "engine/core/TaskUrl.h"

namespace fs = std::filesystem;

namespace publish {
namespace {

struct Target {
    std::string url;
    std::string name;           // the file name the address ends in
    const PackageFile* listed;  // the part whose size and MD5 it must have; null: any
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
        targets.push_back({link, name, &part});
        for (const std::string& seed : seeds)
            targets.push_back({vexa::engine::SeedFileUrl(seed, name), name, &part});
    }
    for (const std::wstring* link : {&values.skinLink, &values.quilletDownloaderLink}) {
        if (link->empty()) continue;
        const std::string url = Utf8FromWide(*link);
        targets.push_back({url, vexa::engine::FileNameOfLink(url), nullptr});
    }
    return targets;
}

// One package's release as planned before anything is written.
struct PlannedRelease {
    std::string id;
    std::string document;
    std::string name;
    std::vector<ReleaseFile> files;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Everything is checked first (the files against the documents, the addresses against each
// other and against the kept releases); only then are version folders made, and only when
// all are made do the documents go live, so a refused stage leaves the live site as it was.
class CStager {
public:
    CStager(const StageRequest& request, StageResult& result)
        : request_(request), result_(result) {}

    void Run() {
        IndexGivenFiles();
        for (const StagedPackage& package : request_.packages) Plan(package);
        if (!result_.problems.empty()) return;
        CheckAddresses();
        const std::string dumps = DumpFolder(ConfFolder());
        if (!result_.problems.empty()) return;
        if (!BuildAll()) return;
        WriteNginxFiles(dumps);
        if (!result_.problems.empty()) return DiscardAll();
        GoLiveAll();
        // Torrents are made of the files as they are served, so only once they are live.
        if (!request_.tracker.empty()) StageSwarm();
    }

private:
    void IndexGivenFiles() {
        for (const std::string& file : request_.files) {
            const std::string name = Utf8Of(PathOf(file).filename());
            const auto earlier = byName_.find(name);
            std::error_code code;
            if (earlier != byName_.end() &&
                !std::filesystem::equivalent(PathOf(earlier->second), PathOf(file), code)) {
                result_.problems.push_back("two files named " + name +
                                           " given: " + earlier->second + " and " + file +
                                           " (one address serves one of them)");
            }
            byName_[name] = file;
        }
    }

    void Plan(const StagedPackage& package) {
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
        if (!CReleaseStore::ValidPackageId(package.id)) {
            result_.problems.push_back("not a package identifier: " + package.id);
            return;
        }
        CReleaseStore store(request_.webRoot, package.id);
        PlannedRelease plan{package.id, package.document, store.NameFor(request_.release), {}};
        std::error_code code;
        if (!CReleaseStore::ValidName(plan.name) ||
            std::filesystem::exists(PathOf(store.VersionFolder(plan.name)), code)) {
            result_.problems.push_back("release " + plan.name + " of " + package.id +
                                       " exists already or is not a usable name (letters, "
                                       "digits, '.', '-', '_')");
        }
        for (const Target& target : TargetsOf(values)) PlanFile(package, target, plan);
        planned_.push_back(plan);
        plannedValues_.push_back(values);
    }

    // A torrent beside every package file of the releases made live, and the tracker's
    // configuration naming them.
    void StageSwarm() {
        swarm_.tracker = request_.tracker;
        for (const ConfigValues& values : plannedValues_) StageTorrents(values);
        result_.placed.insert(result_.placed.end(), swarm_.placed.begin(), swarm_.placed.end());
        result_.problems.insert(result_.problems.end(), swarm_.problems.begin(),
                                swarm_.problems.end());
        if (!WriteTrackerConfig(ConfFolder(), swarm_))
            result_.problems.push_back("cannot write the tracker's configuration in " +
                                       ConfFolder());
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

    void PlanFile(const StagedPackage& package, const Target& target, PlannedRelease& plan) {
        vexa::engine::HttpUrl url;
        if (!vexa::engine::ParseHttpUrl(target.url, url)) {
            result_.problems.push_back("not a plain http:// address: " + target.url);
            return;
        }
        const auto found = byName_.find(PercentDecoded(target.name));
        if (found == byName_.end()) {
            result_.problems.push_back("no file given for " + target.url);
            return;
        }
        const std::string urlPath = PercentDecoded(url.target.substr(0, url.target.find('?')));
        if (LeavesRoot(urlPath)) {
            result_.problems.push_back("a path leaves the web root: " + urlPath);
            return;
        }
        ReleaseFile file{urlPath, found->second, 0, std::string()};
        if (!Measure(file)) return;
        if (target.listed && (file.size != target.listed->size ||
                              (!target.listed->md5.empty() &&
                               Lower(Utf8FromWide(target.listed->md5)) != file.md5))) {
            result_.problems.push_back(package.id + ": " + file.source + " (size " +
                                       std::to_string(file.size) + ", MD5 " + file.md5 +
                                       ") is not the file the document lists for " + target.url +
                                       " (size " + std::to_string(target.listed->size) + ", MD5 " +
                                       Utf8FromWide(target.listed->md5) + ")");
            return;
        }
        plan.files.push_back(file);
    }

    bool Measure(ReleaseFile& file) {
        auto known = measured_.find(file.source);
        if (known == measured_.end()) {
            std::error_code code;
            const uint64_t size = std::filesystem::file_size(PathOf(file.source), code);
            Md5Bytes digest;
            if (code || (size > 0 && !FingerprintLocalFile(file.source, &digest))) {
                result_.problems.push_back("cannot read " + file.source);
                return false;
            }
            known = measured_
                        .insert({file.source,
                                 {size, size > 0 ? Lower(Utf8FromWide(DigestText(digest))) : ""}})
                        .first;
        }
        file.size = known->second.first;
        file.md5 = known->second.second;
        return true;
    }

    // One address, one file: within this stage, and against every kept release (a player may
    // be downloading that release's file right now).
    void CheckAddresses() {
        std::map<std::string, std::pair<std::string, std::string>> byPath;  // -> source, id
        std::vector<ReleaseFile> all;
        for (const PlannedRelease& plan : planned_) {
            for (const ReleaseFile& file : plan.files) {
                const auto earlier = byPath.insert({file.urlPath, {file.source, plan.id}});
                if (!earlier.second && !SameFileBytes(earlier.first->second.first, file.source))
                    result_.problems.push_back(
                        file.urlPath + " is named by " + earlier.first->second.second + " and " +
                        plan.id + " for different files: " + earlier.first->second.first + " and " +
                        file.source);
                all.push_back(file);
            }
        }
        for (const ReleaseConflict& conflict : CReleaseStore::Conflicts(request_.webRoot, all)) {
            result_.problems.push_back(
                conflict.urlPath + " already serves other bytes for release " + conflict.release +
                " of " + conflict.packageId +
                " (a download of it may be running): give the new files new addresses, such as "
                "a new --base-url folder, or prune that release first");
        }
    }

    bool BuildAll() {
        for (size_t i = 0; i < planned_.size(); ++i) {
            std::string error;
            CReleaseStore store(request_.webRoot, planned_[i].id);
            bool built =
                store.Build(planned_[i].name, planned_[i].document, planned_[i].files, &error);
            // The signature is kept with the release's document and goes live with it.
            if (built &&
                !StageSignature(planned_[i].document,
                                store.VersionFolder(planned_[i].name) + "/document.html",
                                request_.signingKey ? &*request_.signingKey : nullptr, &error)) {
                built = false;
                planned_.resize(i + 1);
            } else if (!built) {
                planned_.resize(i);
            }
            if (!built) {
                result_.problems.push_back(error);
                DiscardAll();
                return false;
            }
        }
        return true;
    }

    void DiscardAll() {
        for (const PlannedRelease& plan : planned_)
            CReleaseStore(request_.webRoot, plan.id).Discard(plan.name);
    }

    void GoLiveAll() {
        for (const PlannedRelease& plan : planned_) {
            std::string error;
            if (!CReleaseStore(request_.webRoot, plan.id).GoLive(plan.name, &error)) {
                result_.problems.push_back(error);
                continue;
            }
            result_.placed.push_back("/publish/tool/muldown/" + plan.id + ".html <- " +
                                     plan.document);
            for (const ReleaseFile& file : plan.files)
                result_.placed.push_back(file.urlPath + " <- " + file.source);
            result_.placed.push_back("live: " + plan.id + " release " + plan.name);
        }
    }

    std::string ConfFolder() const { return Utf8Of(fs::absolute(PathOf(request_.confFolder))); }

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

    void WriteNginxFiles(const std::string& dumps) {
        const std::string folder = ConfFolder();
        std::error_code code;
        fs::create_directories(PathOf(folder + "/temp"), code);
        NginxSite site;
        site.dumpRoot = dumps;
        site.listen = request_.listen;
        site.webRoot = Utf8Of(fs::absolute(PathOf(request_.webRoot)));
        site.statsLog = folder + "/stats.log";
        site.accessLog = folder + "/access.log";
        const std::string siteFile = folder + "/vexa-site.conf";
        if (!WriteFileAtomically(siteFile, NginxSiteText(site)) ||
            !WriteFileAtomically(folder + "/nginx.conf", NginxMainText(folder, siteFile))) {
            result_.problems.push_back("cannot write the nginx configuration in " + folder);
        }
    }

    const StageRequest& request_;
    StageResult& result_;
    std::map<std::string, std::string> byName_;
    std::map<std::string, std::pair<uint64_t, std::string>> measured_;  // size, fingerprint
    std::vector<PlannedRelease> planned_;
    std::vector<ConfigValues> plannedValues_;  // the documents of planned_, in order
    SwarmStage swarm_;
};

}  // namespace

StageResult StageSite(const StageRequest& request) {
    StageResult result;
    CStager(request, result).Run();
    return result;
}

}  // namespace publish
