#include "Releases.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "LocalFiles.h"

namespace fs = std::filesystem;

namespace publish {
namespace {

constexpr char kStoreFolder[] = "/.releases";
constexpr char kPartial[] = ".partial";
constexpr char kManifest[] = "/manifest.txt";
constexpr char kDocument[] = "/document.html";
constexpr char kSignature[] = ".sig";  // a signed release's signature, beside its document
constexpr char kFiles[] = "/files";

std::string UtcNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

bool IsFile(const std::string& path) {
    std::error_code code;
    return fs::is_regular_file(PathOf(path), code);
}

// `from` put at `to` by one rename, so a reader of `to` sees the old file or the new one;
// one that opened the old file keeps reading it.
bool ReplaceAtomically(const std::string& from, const std::string& to, std::string* error) {
    const std::string swap = to + ".vexa-swap";
    std::error_code code;
    fs::remove(PathOf(swap), code);
    if (!PlaceFile(from, swap, error)) return false;
    fs::rename(PathOf(swap), PathOf(to), code);
    if (code) {
        fs::remove(PathOf(swap));
        *error = "cannot replace " + to + ": " + code.message();
        return false;
    }
    return true;
}

ReleaseInfo LoadRelease(const fs::path& folder) {
    ReleaseInfo info;
    std::string text;
    if (!ReadWholeFile(Utf8Of(folder) + kManifest, &text) || !ParseManifest(text, &info))
        info.sequence = 0;
    return info;
}

// Every kept release of every package in the web root, by package.
std::map<std::string, std::vector<std::pair<std::string, ReleaseInfo>>> AllReleases(
    const std::string& webRoot) {
    std::map<std::string, std::vector<std::pair<std::string, ReleaseInfo>>> all;
    std::error_code code;
    const fs::path store = PathOf(webRoot + kStoreFolder);
    for (const auto& package : fs::directory_iterator(store, code)) {
        if (!package.is_directory()) continue;
        std::error_code inner;
        for (const auto& release : fs::directory_iterator(package.path(), inner)) {
            const std::string name = Utf8Of(release.path().filename());
            if (!release.is_directory() || !CReleaseStore::ValidName(name)) continue;
            ReleaseInfo info = LoadRelease(release.path());
            if (info.sequence == 0) continue;
            all[Utf8Of(package.path().filename())].push_back({Utf8Of(release.path()), info});
        }
    }
    return all;
}

void RemoveEmptyParents(fs::path folder, const fs::path& stop) {
    std::error_code code;
    while (folder.has_parent_path() && folder != stop && fs::is_empty(folder, code) && !code) {
        fs::remove(folder, code);
        folder = folder.parent_path();
    }
}

}  // namespace

std::string ManifestText(const ReleaseInfo& info) {
    std::string text = "vexa-release 1\n";
    text += "name\t" + info.name + "\n";
    text += "sequence\t" + std::to_string(info.sequence) + "\n";
    text += "staged\t" + info.staged + "\n";
    for (const ReleaseFile& file : info.files) {
        text += "file\t" + std::to_string(file.size) + "\t" + (file.md5.empty() ? "-" : file.md5) +
                "\t" + file.urlPath + "\n";
    }
    return text;
}

bool ParseManifest(const std::string& text, ReleaseInfo* info) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != "vexa-release 1") return false;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) return false;
        const std::string key = line.substr(0, tab);
        const std::string rest = line.substr(tab + 1);
        if (key == "name") {
            info->name = rest;
        } else if (key == "sequence") {
            info->sequence = std::strtoull(rest.c_str(), nullptr, 10);
        } else if (key == "staged") {
            info->staged = rest;
        } else if (key == "file") {
            const size_t second = rest.find('\t');
            const size_t third = second == std::string::npos ? second : rest.find('\t', second + 1);
            if (third == std::string::npos || rest.size() <= third + 1) return false;
            ReleaseFile file;
            file.size = std::strtoull(rest.substr(0, second).c_str(), nullptr, 10);
            file.md5 = rest.substr(second + 1, third - second - 1);
            if (file.md5 == "-") file.md5.clear();
            file.urlPath = rest.substr(third + 1);
            info->files.push_back(file);
        }
    }
    return !info->name.empty() && info->sequence > 0;
}

bool SameFileBytes(const std::string& a, const std::string& b) {
    std::error_code code;
    if (fs::equivalent(PathOf(a), PathOf(b), code) && !code) return true;
    const auto sizeA = fs::file_size(PathOf(a), code);
    if (code) return false;
    const auto sizeB = fs::file_size(PathOf(b), code);
    if (code || sizeA != sizeB) return false;
    std::ifstream inA(PathOf(a), std::ios::binary);
    std::ifstream inB(PathOf(b), std::ios::binary);
    std::vector<char> blockA(1 << 20), blockB(1 << 20);
    while (inA && inB) {
        inA.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
        inB.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
        if (inA.gcount() != inB.gcount() ||
            !std::equal(blockA.begin(), blockA.begin() + inA.gcount(), blockB.begin()))
            return false;
    }
    return inA.eof() && inB.eof();
}

CReleaseStore::CReleaseStore(std::string webRoot, std::string packageId)
    : webRoot_(std::move(webRoot)), packageId_(std::move(packageId)) {}

std::string CReleaseStore::LiveDocumentPath() const {
    return webRoot_ + "/publish/tool/muldown/" + packageId_ + ".html";
}

std::string CReleaseStore::VersionFolder(const std::string& name) const {
    return webRoot_ + kStoreFolder + "/" + packageId_ + "/" + name;
}

bool CReleaseStore::ValidName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.' ||
        name.find(kPartial) != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

bool CReleaseStore::ValidPackageId(const std::string& id) {
    return !id.empty() && id != "." && id != ".." && id.find_first_of("/\\") == std::string::npos;
}

std::vector<ReleaseInfo> CReleaseStore::List() const {
    std::vector<ReleaseInfo> releases;
    const auto all = AllReleases(webRoot_);
    const auto mine = all.find(packageId_);
    if (mine == all.end()) return releases;
    for (const auto& entry : mine->second) releases.push_back(entry.second);
    std::sort(releases.begin(), releases.end(),
              [](const ReleaseInfo& a, const ReleaseInfo& b) { return a.sequence < b.sequence; });
    // The live document is a copy of its release's document: the newest release with the
    // same bytes is the live one.
    const std::string live = LiveDocumentPath();
    if (!IsFile(live)) return releases;
    ReleaseInfo* byBytes = nullptr;
    for (ReleaseInfo& release : releases)
        if (SameFileBytes(live, VersionFolder(release.name) + kDocument)) byBytes = &release;
    if (byBytes) byBytes->live = true;
    return releases;
}

std::string CReleaseStore::NameFor(const std::string& wanted) const {
    if (!wanted.empty()) return wanted;
    const std::string base = UtcNow("%Y%m%dT%H%M%SZ");
    std::string name = base;
    std::error_code code;
    for (int n = 2; fs::exists(PathOf(VersionFolder(name)), code); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

bool CReleaseStore::Build(const std::string& name, const std::string& document,
                          const std::vector<ReleaseFile>& files, std::string* error) {
    const std::string folder = VersionFolder(name);
    const std::string partial = folder + kPartial;
    std::error_code code;
    if (!ValidName(name) || fs::exists(PathOf(folder), code)) {
        *error = "release " + name + " of " + packageId_ + " exists or is not a usable name";
        return false;
    }
    fs::remove_all(PathOf(partial), code);
    uint64_t sequence = 0;
    for (const ReleaseInfo& release : List()) sequence = std::max(sequence, release.sequence);
    ReleaseInfo info;
    info.name = name;
    info.sequence = sequence + 1;
    info.staged = UtcNow("%Y-%m-%dT%H:%M:%SZ");
    std::string documentBytes;
    bool ok = ReadWholeFile(document, &documentBytes);
    if (!ok) *error = "cannot read " + document;
    for (size_t i = 0; ok && i < files.size(); ++i) {
        ok = PlaceFile(files[i].source, partial + kFiles + files[i].urlPath, error);
        info.files.push_back(files[i]);
        info.files.back().source.clear();
    }
    // The document last: a version folder with a document is complete.
    ok = ok && WriteFileAtomically(partial + kManifest, ManifestText(info)) &&
         WriteFileAtomically(partial + kDocument, documentBytes);
    if (ok) fs::rename(PathOf(partial), PathOf(folder), code);
    if (!ok || code) {
        if (error->empty()) *error = "cannot write the release folder " + folder;
        fs::remove_all(PathOf(partial), code);
        return false;
    }
    return true;
}

bool CReleaseStore::GoLive(const std::string& name, std::string* error) {
    const std::string folder = VersionFolder(name);
    const ReleaseInfo info = LoadRelease(PathOf(folder));
    if (info.sequence == 0 || !IsFile(folder + kDocument)) {
        *error = "no complete release " + name + " of " + packageId_;
        return false;
    }
    for (const ReleaseFile& file : info.files) {
        const std::string kept = folder + kFiles + file.urlPath;
        const std::string served = webRoot_ + file.urlPath;
        std::error_code code;
        if (fs::equivalent(PathOf(kept), PathOf(served), code) && !code) continue;
        fs::create_directories(PathOf(served).parent_path(), code);
        if (!ReplaceAtomically(kept, served, error)) return false;
    }
    // The live document is a copy: one edited in place by hand must not change the
    // release's own.
    std::error_code code;
    fs::create_directories(PathOf(LiveDocumentPath()).parent_path(), code);
    std::string document;
    if (!ReadWholeFile(folder + kDocument, &document)) {
        *error = "cannot read " + folder + kDocument;
        return false;
    }
    // A signed release's signature goes live with its document; an unsigned release takes
    // an earlier one down, or keyed copies would judge this document by another's signature.
    const std::string liveSignature = LiveDocumentPath() + kSignature;
    std::string signature;
    bool placed = ReadWholeFile(folder + kDocument + kSignature, &signature)
                      ? WriteFileAtomically(liveSignature, signature)
                      : (std::remove(liveSignature.c_str()) == 0 || !IsFile(liveSignature));
    if (!placed || !WriteFileAtomically(LiveDocumentPath(), document)) {
        *error = "cannot write " + LiveDocumentPath() + (placed ? "" : kSignature);
        return false;
    }
    return true;
}

void CReleaseStore::Discard(const std::string& name) {
    std::error_code code;
    fs::remove_all(PathOf(VersionFolder(name)), code);
}

bool CReleaseStore::Rollback(const std::string& to, std::string* madeLive, std::string* error) {
    const std::vector<ReleaseInfo> releases = List();
    const auto live =
        std::find_if(releases.begin(), releases.end(), [](const ReleaseInfo& r) { return r.live; });
    std::string target = to;
    if (target.empty()) {
        if (live == releases.end()) {
            *error = "the live document of " + packageId_ +
                     " is none of its releases; name one with --to";
            return false;
        }
        if (live == releases.begin()) {
            *error = "release " + live->name + " is the oldest kept release of " + packageId_;
            return false;
        }
        target = std::prev(live)->name;
    }
    if (!GoLive(target, error)) return false;
    *madeLive = target;
    return true;
}

bool CReleaseStore::Prune(size_t keep, std::vector<std::string>* removed, std::string* error) {
    std::vector<ReleaseInfo> releases = List();
    const bool anyLive =
        std::any_of(releases.begin(), releases.end(), [](const ReleaseInfo& r) { return r.live; });
    if (!anyLive && IsFile(LiveDocumentPath())) {
        // Its files may be any release's: keep them all until a release is live again.
        *error = "the live document of " + packageId_ + " is none of its releases";
        return false;
    }
    std::vector<ReleaseInfo> doomed;
    for (size_t i = 0; i < releases.size(); ++i) {
        const bool newest = releases.size() - i <= keep;
        if (!newest && !releases[i].live) doomed.push_back(releases[i]);
    }
    for (const ReleaseInfo& release : doomed) {
        std::error_code code;
        fs::remove_all(PathOf(VersionFolder(release.name)), code);
        if (code) {
            *error = "cannot remove " + VersionFolder(release.name) + ": " + code.message();
            return false;
        }
        removed->push_back(release.name);
    }
    // A served file goes only when no remaining release of any package names it.
    std::set<std::string> named;
    for (const auto& package : AllReleases(webRoot_))
        for (const auto& release : package.second)
            for (const ReleaseFile& file : release.second.files) named.insert(file.urlPath);
    const fs::path root = PathOf(webRoot_);
    for (const ReleaseInfo& release : doomed) {
        for (const ReleaseFile& file : release.files) {
            if (named.count(file.urlPath)) continue;
            std::error_code code;
            const fs::path served = PathOf(webRoot_ + file.urlPath);
            fs::remove(served, code);
            RemoveEmptyParents(served.parent_path(), root);
        }
    }
    return true;
}

std::vector<ReleaseConflict> CReleaseStore::Conflicts(const std::string& webRoot,
                                                      const std::vector<ReleaseFile>& files) {
    std::vector<ReleaseConflict> conflicts;
    const auto all = AllReleases(webRoot);
    for (const ReleaseFile& file : files) {
        for (const auto& package : all) {
            for (const auto& release : package.second) {
                for (const ReleaseFile& kept : release.second.files) {
                    if (kept.urlPath != file.urlPath) continue;
                    const bool same =
                        kept.size == file.size && kept.md5 == file.md5 &&
                        SameFileBytes(file.source, release.first + kFiles + kept.urlPath);
                    if (!same)
                        conflicts.push_back({file.urlPath, package.first, release.second.name});
                }
            }
        }
    }
    return conflicts;
}

}  // namespace publish
