// vexa_publish: the publisher's kit for one or more packages.
//
//   vexa_publish author --out DOCUMENT --base-url URL --game-name NAME FILE...
//   vexa_publish stage --root WEBROOT --conf FOLDER --package ID=DOCUMENT FILE...
//   vexa_publish check URL | ID --server HOST[:PORT] | ID --program COPY.exe
//   vexa_publish stats [--db FILE] [--csv | --json] LOG | --raw [--csv] LOG
//   vexa_publish releases|rollback|prune --root WEBROOT ... ID
//   vexa_publish crashes --dumps FOLDER [--symbols FOLDER]
//   vexa_publish keygen --out SECRET
//
// Run without arguments for the options of each command.

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Arguments.h"
#include "Author.h"
#include "Check.h"
#include "LocalFiles.h"
#include "PlayerChecks.h"
#include "ReleaseCommands.h"
#include "Signing.h"
#include "Stage.h"
#include "Stamp.h"
#include "StatsLog.h"
#ifdef VEXA_PUBLISH_SQLITE
#include "StatsCommand.h"
#endif
#ifdef VEXA_PUBLISH_CRASHES
#include "Crashes.h"
#endif
#include "base/TextCodec.h"
#include "config/SignedRelease.h"

namespace publish {
namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage:\n"
        "  vexa_publish author --out DOCUMENT --base-url http://HOST[:PORT]/PATH --game-name NAME\n"
        "        (--new-version A.B.C.D | --program COPY.exe) [--game-version TEXT]\n"
        "        [--game-start FILE] [--seed http://BASE]... [--skin-link URL] [--embed-link URL]\n"
        "        [--companion-link URL] [--new-version-link URL] [--install-tip TEXT]\n"
        "        [--promotion-title TEXT] [--promotion-link URL] [--cancel-tips TEXT]\n"
        "        [--safecheck 1|0] [--encoding utf16|utf8] [--sign SECRET [--serial N]] FILE...\n"
        "  vexa_publish stage --root WEBROOT --conf FOLDER [--dumps FOLDER] [--listen ADDR:PORT]\n"
        "        [--tracker http://HOST:PORT/announce | --tracker none]\n"
        "        [--release NAME] --package ID=DOCUMENT [--package ...] [--sign SECRET] FILE...\n"
        "  vexa_publish releases --root WEBROOT ID\n"
        "  vexa_publish rollback --root WEBROOT [--to NAME] ID\n"
        "  vexa_publish prune --root WEBROOT --keep N ID\n"
        "  vexa_publish crashes --dumps FOLDER [--symbols FOLDER] [--lldb PROGRAM]\n"
        "  vexa_publish check [--timeout MS] URL | ID --server HOST[:PORT] | [ID] --copy "
        "COPY.exe\n"
        "        [--publisher-key ed25519:HEX]...\n"
        "  vexa_publish stats [--db FILE] [--csv | --json] LOG   (by day and version)\n"
        "  vexa_publish stats --raw [--csv] LOG                 (whole log, per client)\n"
        "  vexa_publish keygen --out SECRET   (writes SECRET and SECRET.pub)\n");
    return 2;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "vexa_publish: %s\n", why.c_str());
    return 2;
}

std::wstring W(const std::string& utf8) { return WideFromUtf8(utf8); }

bool AddFiles(const std::vector<std::string>& paths, AuthorRequest& request, std::string* error) {
    for (const std::string& path : paths) {
        PackageInput input;
        input.path = W(path);
        std::error_code code;
        const auto size = std::filesystem::file_size(PathOf(path), code);
        if (code || !std::filesystem::is_regular_file(PathOf(path))) {
            *error = "not a readable file: " + path;
            return false;
        }
        input.size = size;
        Md5Bytes digest;
        if (size > 0) {
            if (!FingerprintLocalFile(path, &digest)) {
                *error = "cannot read " + path;
                return false;
            }
            input.md5 = DigestText(digest);
        }
        request.files.push_back(input);
    }
    return true;
}

int Author(const CArguments& args) {
    const std::string unknown =
        args.Unknown({"out",         "base-url",        "game-name",      "new-version",
                      "program",     "game-version",    "game-start",     "seed",
                      "skin-link",   "embed-link",      "companion-link", "new-version-link",
                      "install-tip", "promotion-title", "promotion-link", "cancel-tips",
                      "safecheck",   "encoding",        "sign",           "serial"});
    if (!unknown.empty()) return Refuse("unknown option " + unknown);
    if (!args.Has("out") || !args.Has("base-url") || args.Operands().empty()) return Usage();
    AuthorRequest request;
    request.baseUrl = W(args.Value("base-url"));
    for (const std::string& seed : args.Values("seed")) request.seedBases.push_back(W(seed));
    ConfigValues& v = request.values;
    v.gameName = W(args.Value("game-name"));
    v.newVersion = W(args.Value("new-version"));
    if (v.newVersion.empty() && args.Has("program")) {
        stamp::StampInfo info;
        std::string error;
        if (!ReadStampedCopy(args.Value("program"), &info, &error)) return Refuse(error);
        v.newVersion = W(stamp::FormatFileVersion(info.version));
    }
    v.gameVersion = W(args.Value("game-version"));
    v.gameStart = W(args.Value("game-start"));
    v.skinLink = W(args.Value("skin-link"));
    v.embedLink2 = W(args.Value("embed-link"));
    v.quilletDownloaderLink = W(args.Value("companion-link"));
    v.newVersionDownloaderLink = W(args.Value("new-version-link"));
    v.quilletInstallTip = W(args.Value("install-tip"));
    v.textPromotionTitle = W(args.Value("promotion-title"));
    v.textPromotionLink = W(args.Value("promotion-link"));
    v.cancelDownloadTips = W(args.Value("cancel-tips"));
    v.safeCheck = W(args.Value("safecheck", "1"));
    const std::string encoding = args.Value("encoding", "utf16");
    if (encoding != "utf16" && encoding != "utf8") return Refuse("--encoding is utf16 or utf8");
    request.encoding = encoding == "utf8" ? DocumentEncoding::kUtf8 : DocumentEncoding::kUtf16;
    std::string error;
    if (!AddFiles(args.Operands(), request, &error)) return Refuse(error);
    Ed25519SecretKey key;
    if (args.Has("sign") && !LoadSecretKey(args.Value("sign"), &key, &error)) return Refuse(error);
    if (args.Has("sign") || args.Has("serial")) {
        uint64_t serial = SerialForNow();
        if (args.Has("serial") && !ParseReleaseSerial(W(args.Value("serial")), &serial))
            return Refuse("--serial takes a decimal number");
        if (!ReleaseKeysOf(args.Operands(), serial, &request.releaseKeys, &error))
            return Refuse(error);
    }

    const AuthorResult result = AuthorDocument(request);
    for (const std::wstring& warning : result.warnings)
        std::fprintf(stderr, "vexa_publish: warning: %s\n", Utf8FromWide(warning).c_str());
    if (!result.refusals.empty()) {
        for (const std::wstring& why : result.refusals)
            std::fprintf(stderr, "vexa_publish: refused: %s\n", Utf8FromWide(why).c_str());
        return 1;
    }
    if (!WriteFileAtomically(args.Value("out"), result.document))
        return Refuse("cannot write " + args.Value("out"));
    const std::string signature = SignatureAddressOf(args.Value("out"));
    std::remove(signature.c_str());  // one of an earlier document would not fit this one
    if (args.Has("sign") &&
        !WriteFileAtomically(signature, SignatureFileText(key, result.document)))
        return Refuse("cannot write " + signature);
    for (const PackageFile& part : result.read.parts) {
        std::printf("%s  %llu  %s\n", Utf8FromWide(part.md5).c_str(),
                    static_cast<unsigned long long>(part.size), Utf8FromWide(part.link).c_str());
    }
    std::printf("wrote %s (%zu bytes, %s)\n", args.Value("out").c_str(), result.document.size(),
                encoding == "utf8" ? "UTF-8" : "UTF-16 with byte-order mark");
    return 0;
}

int Stage(const CArguments& args) {
    const std::string unknown =
        args.Unknown({"root", "conf", "dumps", "listen", "package", "release", "sign", "tracker"});
    if (!unknown.empty()) return Refuse("unknown option " + unknown);
    if (!args.Has("root") || !args.Has("conf") || !args.Has("package")) return Usage();
    StageRequest request;
    request.webRoot = args.Value("root");
    request.confFolder = args.Value("conf");
    request.dumpFolder = args.Value("dumps");
    request.listen = args.Value("listen", request.listen);
    request.release = args.Value("release");
    request.tracker = args.Value("tracker");
    for (const std::string& package : args.Values("package")) {
        const size_t equals = package.find('=');
        if (equals == std::string::npos || equals == 0)
            return Refuse("--package takes ID=DOCUMENT");
        request.packages.push_back({package.substr(0, equals), package.substr(equals + 1)});
    }
    request.files = args.Operands();
    if (args.Has("sign")) {
        std::string error;
        if (!LoadSecretKey(args.Value("sign"), &request.signingKey.emplace(), &error))
            return Refuse(error);
    }
    const StageResult result = StageSite(request);
    for (const std::string& line : result.placed) std::printf("%s\n", line.c_str());
    for (const std::string& problem : result.problems)
        std::fprintf(stderr, "vexa_publish: %s\n", problem.c_str());
    if (!result.problems.empty()) return 1;
    std::printf("nginx: nginx -p %s -c nginx.conf   (site: %s/vexa-site.conf)\n",
                request.confFolder.c_str(), request.confFolder.c_str());
    return 0;
}

int Check(const CArguments& args) {
    const std::string unknown =
        args.Unknown({"server", "program", "copy", "timeout", "publisher-key"});
    if (!unknown.empty()) return Refuse("unknown option " + unknown);
    if (args.Operands().size() > 1) return Usage();
    std::string target = args.Operands().empty() ? "" : args.Operands()[0];
    std::string server = args.Value("server");
    std::vector<std::string> keys = args.Values("publisher-key");
    const std::string copy = args.Value("copy", args.Value("program"));
    if (!copy.empty()) {
        stamp::StampInfo info;
        std::string error;
        if (!ReadStampedCopy(copy, &info, &error)) return Refuse(error);
        if (target.empty()) target = info.packageId;
        if (server.empty()) server = info.deployment.configServer;
        if (keys.empty()) keys = info.deployment.publisherKeys;
    }
    if (target.empty()) return Usage();
    std::string url = target;
    if (target.compare(0, 7, "http://") != 0) {
        if (server.empty()) return Refuse("an identifier needs --server or --program");
        url = "http://" + server + "/publish/tool/muldown/" + target + ".html";
    }
    const int timeoutMs = std::stoi(args.Value("timeout", "10000"));
    CheckReport report = CheckDeployment(url, timeoutMs);
    CheckSignedRelease(url, keys, timeoutMs, report);
    CheckWhatPlayersMeet({copy, timeoutMs}, report);
    PrintCheckTable(report, stdout);
    return report.Passed() ? 0 : 1;
}

int Keygen(const CArguments& args) {
    const std::string unknown = args.Unknown({"out"});
    if (!unknown.empty()) return Refuse("unknown option " + unknown);
    if (!args.Has("out")) return Usage();
    std::string publicText, error;
    if (!MakeKeyFiles(args.Value("out"), &publicText, &error)) return Refuse(error);
    std::printf(
        "secret key: %s (keep it off the web server; readable by you only)\n"
        "public key: %s (also in %s.pub; stamp it with vexa_stamp --publisher-key)\n",
        args.Value("out").c_str(), publicText.c_str(), args.Value("out").c_str());
    return 0;
}

int Stats(const CArguments& args) {
#ifdef VEXA_PUBLISH_SQLITE
    if (!args.Has("raw")) return StatsFromDatabase(args);
#endif
    const std::string unknown = args.Unknown({"csv", "raw"});
    if (!unknown.empty()) return Refuse("unknown option " + unknown);
    if (args.Operands().size() != 1) return Usage();
    std::ifstream in(PathOf(args.Operands()[0]), std::ios::binary);
    if (!in) return Refuse("cannot read " + args.Operands()[0]);
    StatsSummary summary;
    for (std::string line; std::getline(in, line);) AddStatsLine(line, summary);
    if (args.Has("csv")) {
        PrintStatsCsv(summary, stdout);
    } else {
        PrintStats(summary, stdout);
    }
    return 0;
}

}  // namespace
}  // namespace publish

int main(int argc, char** argv) {
    using namespace publish;
    std::vector<std::string> all = Utf8Arguments(argc, argv);
    if (all.empty()) return Usage();
    const std::string command = all[0];
    const CArguments args(std::vector<std::string>(all.begin() + 1, all.end()),
                          {"csv", "json", "raw"});
    if (!args.Ok()) return Refuse(args.Error());
    if (command == "author") return Author(args);
    if (command == "stage") return Stage(args);
    if (command == "check") return Check(args);
    if (command == "stats") return Stats(args);
    if (command == "keygen") return Keygen(args);
    if (command == "releases") return ListReleases(args);
    if (command == "rollback") return RollBack(args);
    if (command == "prune") return PruneReleases(args);
#ifdef VEXA_PUBLISH_CRASHES
    if (command == "crashes") return CrashesCommand(args);
#endif
    return Usage();
}
