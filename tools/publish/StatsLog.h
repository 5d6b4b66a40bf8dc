#pragma once
// Reading the statistics log that the staged nginx writes (one line per usage report:
// time, client address, path, query; tab-separated) into counts per package.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace publish {

struct PackageStats {
    std::map<std::string, uint64_t> reportsByClient;  // client id ("mid") -> reports
    uint64_t downloadsStarted = 0;                    // statLogMuldownUrl
    uint64_t companionOffers = 0;                     // statLogQuilletMuldownUrl
    std::map<std::string, uint64_t> completedByMd5;   // statLogMuldownMd5, by MD5 list
    uint64_t downloadTimeReports = 0;                 // reports carrying a download time
    uint64_t downloadTimeTotal = 0;                   // their "time" values added up
    std::map<std::string, uint64_t> versions;         // "ver" -> reports
    std::map<std::string, uint64_t> otherReports;     // report name -> count
};

struct StatsSummary {
    std::map<std::string, PackageStats> packages;  // by package identifier ("name")
    uint64_t lines = 0;
    uint64_t unreadable = 0;  // lines that are not a report
};

// One usage report as logged, its query values decoded.
struct ReportLine {
    std::string time;     // as nginx logged it (ISO 8601 with the server's offset)
    std::string address;  // the client's address
    std::string report;   // "statLogMuldownUrl", ...
    std::map<std::string, std::string> values;  // name, from, mid, ver, md5, time...
    std::string Value(const char* key) const;
};

// The path `check` asks to see that the statistics server answers; not a report.
constexpr char kCheckProbePath[] = "/ClientApp/vexaPublishCheck/";

// False for a line that is not a report (blank lines and `check`'s probe included).
bool ParseReportLine(const std::string& line, ReportLine* report, bool* blank);

// Adds one log line.
void AddStatsLine(const std::string& line, StatsSummary& summary);

// One query value as the program meant it: nginx's \xNN log escapes and the URL's percent
// escapes undone.
std::string DecodeQueryValue(const std::string& raw);

// A CSV field: quoted when it holds a separator, a quote or a line break; one that a
// spreadsheet would take for a formula (first character = + - @, tab or CR) quoted and
// prefixed with "'".
std::string CsvField(const std::string& text);

// A value for the terminal: control characters (C0, DEL, C1) as "\xNN", a backslash doubled.
std::string VisibleText(const std::string& text);

void PrintStats(const StatsSummary& summary, std::FILE* out);
void PrintStatsCsv(const StatsSummary& summary, std::FILE* out);

}  // namespace publish
