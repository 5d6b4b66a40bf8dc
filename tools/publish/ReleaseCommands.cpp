#include "ReleaseCommands.h"

#include <cstdio>
#include <string>

#include "Releases.h"

namespace publish {
namespace {

// The web root and package of the command, or false after saying what is wrong.
bool OpenStore(const CArguments& args, const std::set<std::string>& known, std::string* root,
               std::string* id) {
    const std::string unknown = args.Unknown(known);
    if (!unknown.empty()) {
        std::fprintf(stderr, "vexa_publish: unknown option %s\n", unknown.c_str());
        return false;
    }
    if (!args.Has("root") || args.Operands().size() != 1) {
        std::fprintf(stderr, "vexa_publish: give --root WEBROOT and one package identifier\n");
        return false;
    }
    *root = args.Value("root");
    *id = args.Operands()[0];
    if (!CReleaseStore::ValidPackageId(*id)) {
        std::fprintf(stderr, "vexa_publish: not a package identifier: %s\n", id->c_str());
        return false;
    }
    return true;
}

int Failed(const std::string& error) {
    std::fprintf(stderr, "vexa_publish: %s\n", error.c_str());
    return 1;
}

}  // namespace

int ListReleases(const CArguments& args) {
    std::string root, id;
    if (!OpenStore(args, {"root"}, &root, &id)) return 2;
    const CReleaseStore store(root, id);
    const auto releases = store.List();
    std::printf("%-4s %-24s %-21s %5s  %s\n", "LIVE", "RELEASE", "STAGED", "FILES", "BYTES");
    bool anyLive = false;
    for (const ReleaseInfo& release : releases) {
        uint64_t bytes = 0;
        for (const ReleaseFile& file : release.files) bytes += file.size;
        std::printf("%-4s %-24s %-21s %5zu  %llu\n", release.live ? "*" : "", release.name.c_str(),
                    release.staged.c_str(), release.files.size(),
                    static_cast<unsigned long long>(bytes));
        anyLive = anyLive || release.live;
    }
    if (!anyLive) std::printf("no release of %s is live\n", id.c_str());
    return 0;
}

int RollBack(const CArguments& args) {
    std::string root, id;
    if (!OpenStore(args, {"root", "to"}, &root, &id)) return 2;
    std::string madeLive, error;
    if (!CReleaseStore(root, id).Rollback(args.Value("to"), &madeLive, &error))
        return Failed(error);
    std::printf("live: %s release %s\n", id.c_str(), madeLive.c_str());
    return 0;
}

int PruneReleases(const CArguments& args) {
    std::string root, id;
    if (!OpenStore(args, {"root", "keep"}, &root, &id)) return 2;
    const std::string keep = args.Value("keep");
    if (keep.empty() || keep.find_first_not_of("0123456789") != std::string::npos)
        return Failed("--keep takes a number of releases");
    std::vector<std::string> removed;
    std::string error;
    const bool ok = CReleaseStore(root, id).Prune(std::stoul(keep), &removed, &error);
    for (const std::string& name : removed) std::printf("removed %s\n", name.c_str());
    return ok ? 0 : Failed(error);
}

}  // namespace publish
