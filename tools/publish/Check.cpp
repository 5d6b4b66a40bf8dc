#include "Check.h"

#include <algorithm>
#include <memory>

#include "HttpFetch.h"
#include "config/PackageFileName.h"
#include "config/ProfileDocument.h"
#include "config/TextCodec.h"
#include "engine/core/TaskUrl.h"
#include "skin/PngDecoder.h"
#include "transfer/Fingerprint.h"
#ifdef _WIN32
#include "DocumentReaderWin.h"
#endif

namespace publish {
namespace {

constexpr size_t kLargestDocument = 4u << 20;
constexpr size_t kLargestSkinImage = 16u << 20;

std::string Narrow(const std::wstring& text) { return Utf8FromWide(text); }

class CPixelSink : public IPngPixelTarget {
public:
    uint8_t* Allocate(const PngImageLayout& layout) override {
        pixels_.reset(new uint8_t[layout.stride * layout.height]);
        return pixels_.get();
    }

private:
    std::unique_ptr<uint8_t[]> pixels_;
};

// Reads a whole (small) answer into memory.
FetchResult FetchWhole(const std::string& url, size_t limit, int timeoutMs, std::string* body) {
    FetchRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    return Fetch(request, [&](const char* data, size_t size) {
        body->append(data, size);
        return body->size() <= limit;
    });
}

std::string StatusProblem(const FetchResult& fetched) {
    if (!fetched.connected) return "unreachable: " + fetched.error;
    if (fetched.head.status == 404) return "missing (404)";
    return "answered " + std::to_string(fetched.head.status);
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
            CheckFile("file " + number, link, part, md5Required);
            const std::string name = vexa::engine::FileNameOfLink(link);
            for (size_t s = 0; s < seeds.size(); ++s) {
                CheckFile("seed " + number + "." + std::to_string(s + 1),
                          vexa::engine::SeedFileUrl(seeds[s], name), part, md5Required);
            }
        }
        if (!v.quilletDownloaderLink.empty()) CheckCompanion(Narrow(v.quilletDownloaderLink));
        if (!v.skinLink.empty()) CheckSkin(Narrow(v.skinLink));
    }

private:
    CheckRow& AddRow(const std::string& item, const std::string& url) {
        report_.rows.push_back(CheckRow{item, url, "", "", "", ""});
        return report_.rows.back();
    }

    bool CheckDocument(const std::string& url) {
        CheckRow& row = AddRow("document", url);
        std::string bytes;
        const FetchResult fetched = FetchWhole(url, kLargestDocument, timeoutMs_, &bytes);
        report_.wireBytes += fetched.wireBytes;
        if (fetched.connected) row.size = std::to_string(bytes.size());
        // The program takes nothing but a 200 answer.
        if (!fetched.connected || fetched.head.status != 200) {
            row.problem = StatusProblem(fetched);
            return false;
        }
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

    void CheckFile(const std::string& item, const std::string& url, const PackageFile& part,
                   bool md5Required) {
        CheckRow& row = AddRow(item, url);
        const std::wstring nameProblem = PackageFileNameProblem(PackageFileNameOf(part.link));
        if (!nameProblem.empty()) row.problem = "file name: " + Narrow(nameProblem);
        if (part.size == 0) {
            row.problem = "no size listed";
            return;
        }
        CFingerprintHasher hasher(part.size);
        FetchRequest request;
        request.url = url;
        request.timeoutMs = timeoutMs_;
        request.ranged = true;
        request.first = hasher.Span().offset;
        request.last = part.size - 1;
        const FetchResult fetched = Fetch(request, [&](const char* data, size_t size) {
            hasher.Update(data, size);
            return true;
        });
        report_.wireBytes += fetched.wireBytes;
        JudgeRangeAnswer(fetched, request, part.size, row);
        if (!row.problem.empty() || fetched.head.status != 206) return;
        JudgeFingerprint(hasher, part.md5, md5Required, row);
    }

    void JudgeRangeAnswer(const FetchResult& fetched, const FetchRequest& request,
                          uint64_t listedSize, CheckRow& row) {
        const auto& head = fetched.head;
        const auto& range = head.contentRange;
        if (range.totalKnown) row.size = std::to_string(range.total);
        if (!fetched.connected ||
            (head.status != 206 && head.status != 200 && head.status != 416)) {
            row.problem = StatusProblem(fetched);
            return;
        }
        if (head.status == 200) {
            if (head.hasContentLength) row.size = std::to_string(head.contentLength);
            row.range = "no (200)";
            row.problem = "no Range support: the engine needs ranges to share a file out";
            if (head.hasContentLength && head.contentLength != listedSize)
                row.problem = "size " + row.size + ", listed " + std::to_string(listedSize);
            return;
        }
        if (head.status == 416) {
            row.range = "416";
            row.problem = "size " + (range.totalKnown ? row.size : std::string("unknown")) +
                          ", listed " + std::to_string(listedSize);
            return;
        }
        row.range = "206";
        if (range.totalKnown && range.total != listedSize) {
            row.problem = "size " + row.size + ", listed " + std::to_string(listedSize);
        } else if (head.multipart || !range.valid || range.first != request.first ||
                   range.last != request.last || !range.totalKnown) {
            row.range = "206 bad";
            row.problem = "Content-Range does not match the request";
        } else if (!fetched.bodyComplete) {
            row.problem = "the answer ended early: " + fetched.error;
        }
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
        const FetchResult fetched = Fetch(request, [](const char*, size_t) { return false; });
        report_.wireBytes += fetched.wireBytes;
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
        const FetchResult fetched = FetchWhole(url, kLargestSkinImage, timeoutMs_, &bytes);
        report_.wireBytes += fetched.wireBytes;
        if (fetched.connected) row.size = std::to_string(bytes.size());
        if (!fetched.connected || fetched.head.status != 200) {
            row.problem = StatusProblem(fetched);
            return;
        }
        CPixelSink pixels;
        if (bytes.size() > kLargestSkinImage ||
            !DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pixels)) {
            row.problem = "the image does not decode (the program would show no skin)";
            return;
        }
        row.md5 = "decodes";
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
        if (!row.problem.empty()) std::fprintf(out, "            ^ %s\n", row.problem.c_str());
    }
    std::fprintf(out, "%s: %zu item(s), %llu bytes fetched\n",
                 report.Passed() ? "PASSED" : "FAILED", report.rows.size(),
                 static_cast<unsigned long long>(report.wireBytes));
}

}  // namespace publish
