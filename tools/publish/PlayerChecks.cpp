#include "PlayerChecks.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "HttpFetch.h"
#include "LocalFiles.h"
#include "RoutedFetch.h"
#include "Stamp.h"
#include "StatsLog.h"
#include "base/TextCodec.h"
#include "config/PackageFileName.h"
#include "crashupload/CrashUploadRules.h"
#include "workflow/MainWindowRules.h"
#ifndef _WIN32
#include <unistd.h>

#include "Subprocess.h"
#endif

namespace fs = std::filesystem;

namespace publish {
namespace {

constexpr uint64_t kLargestCompanion = 512u << 20;

std::wstring FoldedCase(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::string StampText(const stamp::StampInfo& info) {
    return info.packageId + " " + stamp::FormatFileVersion(info.version) + " stats " +
           info.deployment.statsServer;
}

// The status of one GET (its body left unread), 0 when no answer came.
int StatusOf(const std::string& url, int timeoutMs, uint64_t* wireBytes) {
    FetchRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    request.userAgent = kProgramUserAgent;
    const FetchResult fetched = Fetch(request, [](const char*, size_t) { return false; });
    *wireBytes += fetched.wireBytes;
    return fetched.connected ? fetched.head.status : 0;
}

#ifndef _WIN32
// The whole installer, as the program fetches it, into a private file.
bool FetchCompanion(const std::string& url, int timeoutMs, const std::string& file,
                    CheckReport& report, std::string* problem) {
    std::ofstream out(file, std::ios::binary);
    FetchRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    uint64_t written = 0;
    const RoutedResult routed = FetchFollowing(request, [&](const char* data, size_t size) {
        out.write(data, static_cast<std::streamsize>(size));
        written += size;
        return written <= kLargestCompanion && static_cast<bool>(out);
    });
    report.wireBytes += routed.fetched.wireBytes;
    if (!routed.problem.empty() || !routed.fetched.connected || routed.fetched.head.status != 200 ||
        !routed.fetched.bodyComplete) {
        *problem = routed.problem.empty() ? StatusProblem(routed.fetched) : routed.problem;
        if (problem->empty()) *problem = "the installer did not arrive whole";
        return false;
    }
    return static_cast<bool>(out.flush());
}

// osslsigncode checks that the file carries an Authenticode signature whose digest is the
// file's own (nothing changed after signing) and follows the signer's chain to Debian's CA
// list. Windows trusts other roots than that list, so an untrusted chain alone is a note.
void JudgeSignature(const std::string& output, CheckRow& row) {
    if (output.find("Calculated message digest") == std::string::npos) {
        row.problem = "no Authenticode signature: Windows names no publisher for it";
    } else if (output.find("MISMATCH") != std::string::npos) {
        row.problem = "the signature's digest is not the file's: changed after signing";
    } else if (output.find("Succeeded") != std::string::npos) {
        row.md5 = "signed";
        row.note = "Authenticode: digest and signer's chain verified (Debian's CA list)";
    } else {
        row.md5 = "signed";
        row.note =
            "Authenticode: digest verified; the signer's chain does not reach Debian's CA "
            "list (Windows' own roots, revocation and time stamps are not checked here)";
    }
}
#endif

class CPlayerChecks {
public:
    CPlayerChecks(const PlayerCheckRequest& request, CheckReport& report)
        : request_(request), report_(report) {}

    void Run() {
        const ConfigValues& v = report_.values;
        if (v.parts.size() >= 2) {
            CheckRow& row = AddRow("gamestart", Utf8FromWide(v.gameStart));
            row.problem = GameStartProblem(v);
        }
        if (!v.quilletDownloaderLink.empty())
            CheckCompanionSignature(Utf8FromWide(v.quilletDownloaderLink));
        if (request_.copyPath.empty()) return;
        std::string error;
        if (!ReadStampedCopy(request_.copyPath, &copy_, &error)) {
            AddRow("version", request_.copyPath).problem = error;
            return;
        }
        CheckVersion();
        CheckUploader();
        CheckAddresses();
    }

private:
    CheckRow& AddRow(const std::string& item, const std::string& url) {
        report_.rows.push_back(CheckRow{item, url, "", "", "", "", ""});
        return report_.rows.back();
    }

    void CheckVersion() {
        const std::string own = stamp::FormatFileVersion(copy_.version);
        CheckRow& row = AddRow("version", request_.copyPath);
        row.size = own;
        if (IsDownloaderOlder(WideFromUtf8(own), report_.values.newVersion)) {
            row.problem = "copies of version " + own +
                          " would show only \"下载器版本过旧\" (NewVersion " +
                          Utf8FromWide(report_.values.newVersion) + ")";
        }
    }

    void CheckUploader() {
        const fs::path beside = PathOf(request_.copyPath).parent_path() / "Plorex.exe";
        CheckRow& row = AddRow("uploader", Utf8Of(beside));
        std::error_code code;
        if (!fs::exists(beside, code)) {
            row.problem = "no Plorex.exe beside the copy: its crash dumps would never be sent";
            return;
        }
        stamp::StampInfo uploader;
        std::string error;
        if (!ReadStampedCopy(Utf8Of(beside), &uploader, &error)) {
            row.problem = error;
            return;
        }
        if (StampText(uploader) != StampText(copy_))
            row.problem = "stamped " + StampText(uploader) + ", the copy " + StampText(copy_);
    }

    void CheckAddresses() {
        const std::string base = "http://" + copy_.deployment.statsServer;
        CheckRow& stats = AddRow("stats addr", base + kCheckProbePath);
        const int reportStatus = StatusOf(stats.url, request_.timeoutMs, &report_.wireBytes);
        stats.size = reportStatus ? std::to_string(reportStatus) : "";
        if (reportStatus != 200)
            stats.problem = reportStatus ? "answers " + std::to_string(reportStatus) +
                                               " (the program's reports need 200)"
                                         : "no answer";
        // A place that takes uploads for this package and version; GET must not read it back.
        const std::string path =
            Utf8FromWide(L"/crashdump/" + PercentEncode(WideFromUtf8(copy_.packageId)) + L"/" +
                         PercentEncode(WideFromUtf8(stamp::FormatFileVersion(copy_.version))) +
                         L"/vexa-check_20000101T000000Z_000.dmp");
        CheckRow& dumps = AddRow("dump addr", base + path);
        const int dumpStatus = StatusOf(dumps.url, request_.timeoutMs, &report_.wireBytes);
        dumps.size = dumpStatus ? std::to_string(dumpStatus) : "";
        if (dumpStatus == 0)
            dumps.problem = "no answer";
        else if (dumpStatus == 404)
            dumps.problem = "404: no crash-dump location on the statistics server";
        else if (dumpStatus >= 200 && dumpStatus < 300)
            dumps.problem = "a GET is answered: uploaded dumps can be read back";
        else if (dumpStatus != 403 && dumpStatus != 405)
            dumps.problem = "answers " + std::to_string(dumpStatus);
    }

    void CheckCompanionSignature(const std::string& url) {
        CheckRow& row = AddRow("signature", url);
#ifdef _WIN32
        row.md5 = "not checked";
        row.note = "the companion's Authenticode signature is checked by the native build";
#else
        if (!OnPath("osslsigncode")) {
            row.md5 = "not checked";
            row.note =
                "no osslsigncode here to check the companion's signature (Debian: osslsigncode)";
            return;
        }
        char folder[] = "/tmp/vexa-companion.XXXXXX";
        if (!mkdtemp(folder)) {
            row.problem = "no temporary folder";
            return;
        }
        const std::string file = std::string(folder) + "/installer.exe";
        std::string output;
        if (FetchCompanion(url, request_.timeoutMs, file, report_, &row.problem)) {
            RunCapturing({"osslsigncode", "verify", "-in", file}, &output);
            JudgeSignature(output, row);
        }
        std::error_code code;
        fs::remove_all(folder, code);
#endif
    }

    const PlayerCheckRequest& request_;
    CheckReport& report_;
    stamp::StampInfo copy_;
};

}  // namespace

bool ReadStampedCopy(const std::string& path, stamp::StampInfo* info, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) {
        *error = "cannot read " + path;
        return false;
    }
    stamp::PeImage image;
    return image.Load(std::vector<uint8_t>(bytes.begin(), bytes.end()), error) &&
           stamp::ReadStamp(image, info, error);
}

std::string GameStartProblem(const ConfigValues& values) {
    if (values.parts.size() < 2) return std::string();
    const std::wstring wanted = FoldedCase(values.gameStart);
    for (const PackageFile& part : values.parts)
        if (FoldedCase(PackageFileNameOf(part.link)) == wanted) return std::string();
    return "names no file of the package: the install button would show \"安装文件错误\"";
}

void CheckWhatPlayersMeet(const PlayerCheckRequest& request, CheckReport& report) {
    CPlayerChecks(request, report).Run();
}

}  // namespace publish
