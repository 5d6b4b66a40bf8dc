#include "StatsLog.h"

#include <cstdlib>
#include <vector>

#include "base/HexText.h"

namespace publish {
namespace {

// Undoes escapes of the form <lead>HH (lead "%" for URLs, "\x" for nginx's log).
std::string Unescape(const std::string& text, const std::string& lead) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t hex = i + lead.size();
        if (text.compare(i, lead.size(), lead) == 0 && hex + 2 <= text.size() &&
            HexDigitValue(text[hex]) >= 0 && HexDigitValue(text[hex + 1]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[hex]) * 16 + HexDigitValue(text[hex + 1]));
            i = hex + 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::map<std::string, std::string> QueryValues(const std::string& query) {
    std::map<std::string, std::string> values;
    for (const std::string& pair : Split(query, '&')) {
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        const std::string key = DecodeQueryValue(pair.substr(0, equals));
        if (values.count(key)) continue;  // the first of a repeated key counts
        values[key] = equals == std::string::npos ? "" : DecodeQueryValue(pair.substr(equals + 1));
    }
    return values;
}

}  // namespace

std::string DecodeQueryValue(const std::string& raw) { return Unescape(Unescape(raw, "\\x"), "%"); }

std::string CsvField(const std::string& text) {
    // A spreadsheet takes a cell that starts like this for a formula; a report's values are
    // whatever a client sent.
    const bool formula =
        !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = formula ? "\"'" : "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string VisibleText(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // C1 controls (U+0080..U+009F) steer a terminal as the C0 ones do.
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F || c1) {
            const auto shown = c1 ? static_cast<unsigned char>(text[++i]) : c;
            out += std::string("\\x") + kHex[shown >> 4] + kHex[shown & 0x0F];
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ReportLine::Value(const char* key) const {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
}

bool ParseReportLine(const std::string& line, ReportLine* report, bool* blank) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    *blank = text.empty();
    const std::vector<std::string> fields = Split(text, '\t');
    const std::string prefix = "/ClientApp/";
    if (fields.size() < 4 || fields[2].compare(0, prefix.size(), prefix) != 0 ||
        fields[2] == kCheckProbePath)
        return false;
    report->time = fields[0];
    report->address = fields[1];
    report->report = fields[2].substr(prefix.size());
    while (!report->report.empty() && report->report.back() == '/') report->report.pop_back();
    report->values = QueryValues(fields[3]);
    return true;
}

void AddStatsLine(const std::string& line, StatsSummary& summary) {
    ReportLine parsed;
    bool blank = false;
    const bool ok = ParseReportLine(line, &parsed, &blank);
    if (blank) return;
    ++summary.lines;
    if (!ok) {
        ++summary.unreadable;
        return;
    }
    const std::string& report = parsed.report;
    const auto& query = parsed.values;
    const auto value = [&parsed](const char* key) { return parsed.Value(key); };
    PackageStats& stats = summary.packages[value("name")];
    ++stats.reportsByClient[value("mid")];
    ++stats.versions[value("ver")];
    if (report == "statLogMuldownUrl") {
        ++stats.downloadsStarted;
    } else if (report == "statLogQuilletMuldownUrl") {
        ++stats.companionOffers;
    } else if (report == "statLogMuldownMd5") {
        ++stats.completedByMd5[value("md5")];
    } else if (query.count("time")) {
        ++stats.downloadTimeReports;
        stats.downloadTimeTotal += std::strtoull(value("time").c_str(), nullptr, 10);
    } else {
        ++stats.otherReports[report];
    }
}

void PrintStats(const StatsSummary& summary, std::FILE* out) {
    for (const auto& [id, stats] : summary.packages) {
        uint64_t completed = 0;
        for (const auto& entry : stats.completedByMd5) completed += entry.second;
        std::fprintf(out, "package %s\n", id.empty() ? "(no name)" : VisibleText(id).c_str());
        std::fprintf(out, "  copies started (distinct client ids): %zu\n",
                     stats.reportsByClient.size());
        for (const auto& [client, count] : stats.reportsByClient)
            std::fprintf(out, "    %-40s %llu report(s)\n",
                         client.empty() ? "(none)" : VisibleText(client).c_str(),
                         static_cast<unsigned long long>(count));
        std::fprintf(out, "  downloads started: %llu\n",
                     static_cast<unsigned long long>(stats.downloadsStarted));
        std::fprintf(out, "  downloads completed: %llu\n",
                     static_cast<unsigned long long>(completed));
        for (const auto& [md5, count] : stats.completedByMd5)
            std::fprintf(out, "    %llu x md5=%s\n", static_cast<unsigned long long>(count),
                         VisibleText(md5).c_str());
        std::fprintf(out, "  companion offers: %llu\n",
                     static_cast<unsigned long long>(stats.companionOffers));
        std::fprintf(out, "  download time reports: %llu (total %llu)\n",
                     static_cast<unsigned long long>(stats.downloadTimeReports),
                     static_cast<unsigned long long>(stats.downloadTimeTotal));
        for (const auto& [name, count] : stats.otherReports)
            std::fprintf(out, "  other report %s: %llu\n", VisibleText(name).c_str(),
                         static_cast<unsigned long long>(count));
    }
    std::fprintf(out, "%llu line(s), %llu not a report\n",
                 static_cast<unsigned long long>(summary.lines),
                 static_cast<unsigned long long>(summary.unreadable));
}

void PrintStatsCsv(const StatsSummary& summary, std::FILE* out) {
    std::fprintf(out, "package,measure,detail,count\n");
    auto row = [out](const std::string& id, const char* measure, const std::string& detail,
                     uint64_t count) {
        std::fprintf(out, "%s,%s,%s,%llu\n", CsvField(id).c_str(), measure,
                     CsvField(detail).c_str(), static_cast<unsigned long long>(count));
    };
    for (const auto& [id, stats] : summary.packages) {
        row(id, "copies_started", "", stats.reportsByClient.size());
        for (const auto& [client, count] : stats.reportsByClient)
            row(id, "client_reports", client, count);
        row(id, "downloads_started", "", stats.downloadsStarted);
        for (const auto& [md5, count] : stats.completedByMd5)
            row(id, "downloads_completed", md5, count);
        row(id, "companion_offers", "", stats.companionOffers);
        row(id, "download_time_reports", "", stats.downloadTimeReports);
        row(id, "download_time_total", "", stats.downloadTimeTotal);
        for (const auto& [name, count] : stats.otherReports) row(id, "other_report", name, count);
    }
}

}  // namespace publish
