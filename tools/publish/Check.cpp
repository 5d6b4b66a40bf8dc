#include "Check.h"

#include <algorithm>
#include <memory>

#include "RoutedFetch.h"
#include "TailFetch.h"
#include "TorrentCheck.h"
#include "base/TextCodec.h"
#include "config/PackageFileName.h"
#include "config/ProfileDocument.h"
#include "engine/core/SwarmAddress.h"
#include "engine/core/TaskUrl.h"
#include "skin/PngDecoder.h"
#include "transfer/Fingerprint.h"
#include "workflow/MainWindowRules.h"
#ifdef _WIN32
#include "DocumentReaderWin.h"
#endif

namespace publish {
namespace {

constexpr size_t kLargestDocument = 4u << 20;
constexpr size_t kLargestSkinImage = 16u << 20;
constexpr size_t kLargestTorrent = 16u << 20;

std::string Narrow(const std::wstring& text) { return Utf8FromWide(text); }

class CPixelSink : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& layout) override {
        layout_ = layout;
        pixels_.reset(new uint8_t[layout.stride * layout.height]);
        return pixels_.get();
    }
    const PngImageLayout& Layout() const { return layout_; }

private:
    PngImageLayout layout_;
    std::unique_ptr<uint8_t[]> pixels_;
};

// Reads a whole (small) answer into memory, as the program's WinInet client asks for it:
// redirects followed, its user agent.
RoutedResult FetchWhole(const std::string& url, size_t limit, int timeoutMs, std::string* body) {
    FetchRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    request.userAgent = kProgramUserAgent;
    return FetchFollowing(request, [&](const char* data, size_t size) {
        body->append(data, size);
        return body->size() <= limit;
    });
}

// Why the program takes no answer but a 200 from here.
std::string WholeProblem(const RoutedResult& routed) {
    if (!routed.problem.empty()) return routed.problem;
    if (!routed.fetched.connected || routed.fetched.head.status != 200)
        return StatusProblem(routed.fetched);
    return std::string();
}

class CChecker {
public:
    CChecker(int timeoutMs, CheckReport& report) : timeoutMs_(timeoutMs), report_(report) {}

    void Run(const std::string& documentUrl) {
        if (!CheckDocument(documentUrl)) return;
        const ConfigValues& v = report_.values;
        const bool md5Required = v.safeCheck == L"1";
        const std::vector<std::string> seeds = vexa::engine::SplitSeedList(Narrow(v.seedUrl));
        for (size_t i = 0; i < v.parts.size(); ++i) {
            const PackageFile& part = v.parts[i];
            const std::string number = std::to_string(i + 1);
            const std::string link = Narrow(part.link);
            CTorrentCheck torrent;
            const size_t torrentRow = CheckTorrent("torrent " + number, link, part, torrent);
            CheckFile("file " + number, link, part, true, md5Required,
                      torrentRow < report_.rows.size() ? &torrent : nullptr);
            if (torrentRow < report_.rows.size()) JudgeTorrentTail(torrent, report_.rows[torrentRow]);
            const std::string name = vexa::engine::FileNameOfLink(link);
            for (size_t s = 0; s < seeds.size(); ++s) {
                CheckFile("seed " + number + "." + std::to_string(s + 1),
                          vexa::engine::SeedFileUrl(seeds[s], name), part, false, md5Required);
            }
        }
        if (!v.quilletDownloaderLink.empty()) CheckCompanion(Narrow(v.quilletDownloaderLink));
        if (!v.skinLink.empty()) CheckSkin(Narrow(v.skinLink));
    }

private:
    CheckRow& AddRow(const std::string& item, const std::string& url) {
        report_.rows.push_back(CheckRow{item, url, "", "", "", "", ""});
        return report_.rows.back();
    }

    // Fetches the row's whole file into *bytes and notes its size and any fetch problem;
    // true when there was none.
    bool FetchRow(CheckRow& row, size_t limit, std::string* bytes) {
        const RoutedResult routed = FetchWhole(row.url, limit, timeoutMs_, bytes);
        report_.wireBytes += routed.fetched.wireBytes;
        if (routed.fetched.connected) row.size = std::to_string(bytes->size());
        row.problem = WholeProblem(routed);
        return row.problem.empty();
    }

    bool CheckDocument(const std::string& url) {
        CheckRow& row = AddRow("document", url);
        std::string bytes;
        if (!FetchRow(row, kLargestDocument, &bytes)) return false;
        report_.document = bytes;
        if (bytes.size() > kLargestDocument) {
            row.problem = "larger than 4 MiB";
            return false;
        }
        const DecodedProfile decoded = DecodeProfileBytes(bytes);
        if (decoded.encoding == ProfileEncoding::kUtf8Bom) {
            row.problem =
                "UTF-8 with a byte-order mark: Windows' profile reader takes the mark "
                "for text and loses the first section (write UTF-16)";
        }
        if (decoded.codePageDependent) {
            row.problem =
                "text beyond ASCII without a byte-order mark: each user's code page "
                "decides how it reads (write UTF-16)";
        }
        std::wstring missing;
        if (!ParseDocument(bytes, decoded, &missing)) {
            row.problem = "the program finds no " + Narrow(missing);
            return false;
        }
        row.md5 = std::to_string(report_.values.parts.size()) + " file(s)";
        return true;
    }

    bool ParseDocument(const std::string& bytes, const DecodedProfile& decoded,
                       std::wstring* missing) {
#ifdef _WIN32
        // Here the platform's own profile reader is at hand: read exactly as the program does.
        return ParseWithProfileFunctions(bytes, &report_.values, missing);
#else
        (void)bytes;
        CProfileDocument reader(decoded.text);
        return ParseConfigDocument(reader, std::wstring(), report_.values, missing);
#endif
    }

    // The swarm's torrent beside a file is optional (no row when there is none); one that is
    // there must fit the file. Returns its row, or past the end when there is no torrent to
    // check the tail against.
    size_t CheckTorrent(const std::string& item, const std::string& link, const PackageFile& part,
                        CTorrentCheck& torrent) {
        const size_t index = report_.rows.size();
        CheckRow& row = AddRow(item, vexa::engine::TorrentAddressOf(link));
        std::string bytes;
        const RoutedResult routed = FetchWhole(row.url, kLargestTorrent, timeoutMs_, &bytes);
        report_.wireBytes += routed.fetched.wireBytes;
        const int status = routed.fetched.connected ? routed.fetched.head.status : 0;
        if (routed.problem.empty() && (status == 404 || status == 410)) {
            report_.rows.pop_back();  // an HTTP-only file: nothing to show
            return SIZE_MAX;
        }
        row.problem = WholeProblem(routed);
        if (row.problem.empty() && bytes.size() > kLargestTorrent) row.problem = "larger than 16 MiB";
        if (row.problem.empty()) row.problem = torrent.Load(bytes, part.size, link);
        row.size = std::to_string(bytes.size());
        return row.problem.empty() ? index : SIZE_MAX;
    }

    void JudgeTorrentTail(CTorrentCheck& torrent, CheckRow& row) {
        row.problem = torrent.FinishTail();
        row.md5 = std::to_string(torrent.PiecesChecked()) + " pieces";
        if (!row.problem.empty()) row.md5 = "differs";
    }

    void CheckFile(const std::string& item, const std::string& url, const PackageFile& part,
                   bool fromOrigin, bool md5Required, CTorrentCheck* torrent = nullptr) {
        CheckRow& row = AddRow(item, url);
        const std::wstring nameProblem = PackageFileNameProblem(PackageFileNameOf(part.link));
        if (!nameProblem.empty()) row.problem = "file name: " + Narrow(nameProblem);
        if (part.size == 0) {
            row.problem = "no size listed";
            return;
        }
        CFingerprintHasher hasher(part.size);
        if (torrent) torrent->BeginTail(hasher.Span().offset);
        const TailFetch fetched = FetchTail(url, fromOrigin, part.size, hasher.Span().offset,
                                            timeoutMs_, [&](const char* data, size_t size) {
                                                hasher.Update(data, size);
                                                if (torrent) torrent->Update(data, size);
                                                return true;
                                            });
        report_.wireBytes += fetched.wireBytes;
        row.size = fetched.size;
        row.range = fetched.range;
        row.via = fetched.via;
        if (!fetched.problem.empty()) {
            row.problem = fetched.problem;
            return;
        }
        if (row.problem.empty()) JudgeFingerprint(hasher, part.md5, md5Required, row);
    }

    void JudgeFingerprint(CFingerprintHasher& hasher, const std::wstring& listed, bool md5Required,
                          CheckRow& row) {
        Md5Bytes digest;
        if (!hasher.Final(&digest)) {
            row.problem = "the tail did not arrive whole";
            return;
        }
        const std::wstring text = DigestText(digest);
        if (listed.empty()) {
            row.md5 = "not listed";
            if (md5Required) row.problem = "safecheck is \"1\" but no MD5 text is listed";
            return;
        }
        if (DigestTextsMatch(text, listed)) {
            row.md5 = "ok";
            return;
        }
        row.md5 = "differs";
        row.problem = "fingerprint " + Narrow(text) + ", listed " + Narrow(listed);
    }

    void CheckCompanion(const std::string& url) {
        CheckRow& row = AddRow("companion", url);
        FetchRequest request;
        request.url = url;
        request.timeoutMs = timeoutMs_;
        request.ranged = true;
        const RoutedResult routed =
            FetchFollowing(request, [](const char*, size_t) { return false; });
        const FetchResult& fetched = routed.fetched;
        report_.wireBytes += fetched.wireBytes;
        row.via = routed.visit ? routed.url : std::string();
        if (!routed.problem.empty()) {
            row.problem = routed.problem;
            return;
        }
        if (!fetched.connected || (fetched.head.status != 206 && fetched.head.status != 200)) {
            row.problem = StatusProblem(fetched);
            return;
        }
        const auto& head = fetched.head;
        row.range = head.status == 206 ? "206" : "no (200)";
        if (head.contentRange.totalKnown)
            row.size = std::to_string(head.contentRange.total);
        else if (head.hasContentLength)
            row.size = std::to_string(head.contentLength);
    }

    void CheckSkin(const std::string& url) {
        CheckRow& row = AddRow("skin", url);
        std::string bytes;
        if (!FetchRow(row, kLargestSkinImage, &bytes)) return;
        CPixelSink pixels;
        if (bytes.size() > kLargestSkinImage ||
            !DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pixels)) {
            row.problem = "the image does not decode (the program would show no skin)";
            return;
        }
        row.md5 = "decodes";
        const PngImageLayout& size = pixels.Layout();
        if (size.width != kDownloadBackgroundWidth || size.height != kDownloadBackgroundHeight) {
            row.problem = std::to_string(size.width) + " x " + std::to_string(size.height) +
                          ": the program takes only " + std::to_string(kDownloadBackgroundWidth) +
                          " x " + std::to_string(kDownloadBackgroundHeight) +
                          " and shows its built-in background";
        }
    }

    int timeoutMs_;
    CheckReport& report_;
};

}  // namespace

bool CheckReport::Passed() const {
    return !rows.empty() && std::all_of(rows.begin(), rows.end(),
                                        [](const CheckRow& row) { return row.problem.empty(); });
}

CheckReport CheckDeployment(const std::string& documentUrl, int timeoutMs) {
    CheckReport report;
    CChecker(timeoutMs, report).Run(documentUrl);
    return report;
}

void PrintCheckTable(const CheckReport& report, std::FILE* out) {
    std::fprintf(out, "%-11s %-12s %-9s %-12s %-6s %s\n", "ITEM", "SIZE", "RANGE", "MD5", "RESULT",
                 "URL");
    for (const CheckRow& row : report.rows) {
        std::fprintf(out, "%-11s %-12s %-9s %-12s %-6s %s\n", row.item.c_str(),
                     row.size.empty() ? "-" : row.size.c_str(),
                     row.range.empty() ? "-" : row.range.c_str(),
                     row.md5.empty() ? "-" : row.md5.c_str(), row.problem.empty() ? "ok" : "FAIL",
                     row.url.c_str());
        if (!row.via.empty()) std::fprintf(out, "            > via %s\n", row.via.c_str());
        if (!row.note.empty()) std::fprintf(out, "            > %s\n", row.note.c_str());
        if (!row.problem.empty()) std::fprintf(out, "            ^ %s\n", row.problem.c_str());
    }
    std::fprintf(out, "%s: %zu item(s), %llu bytes fetched\n",
                 report.Passed() ? "PASSED" : "FAILED", report.rows.size(),
                 static_cast<unsigned long long>(report.wireBytes));
}

}  // namespace publish
