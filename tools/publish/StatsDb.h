#pragma once
// The statistics log loaded into an SQLite file, a little more each time (only lines added
// since the last load are read), and the figures a publisher asks for by day and version.
//
// Table `reports`, one row per usage report (the same columns load into a column store):
//   at INTEGER      seconds since 1970 UTC of the logged time
//   day TEXT        the logged day, yyyy-mm-dd, in the server's own time zone
//   address TEXT    the client's address
//   report TEXT     report name: statLogMuldownUrl, statLogQuilletMuldownUrl, statLogMuldownMd5
//   package TEXT    "name", the package identifier
//   client TEXT     "mid", the client identifier ('' when the copy had none)
//   version TEXT    "ver", the program's version
//   md5 TEXT        "md5", the completed package's MD5 list (completions only)
//   time_ms INTEGER "time", a download time the copy reported itself (NULL: none)
// Table `log_position`: per log file, the first line and the byte offset loaded so far.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace publish {

struct StatsRow {
    std::string package;
    std::string day;
    std::string version;
    uint64_t copiesStarted = 0;  // distinct client ids with any report
    uint64_t downloadsStarted = 0;
    uint64_t downloadsCompleted = 0;
    uint64_t companionOffers = 0;
    // From a completion back to the same client's last start of the same package; -1 when
    // no completion of the group could be paired.
    double medianDownloadSeconds = -1;
    double CompletionRate() const;  // completed / started, -1 without starts
};

struct LoadResult {
    uint64_t lines = 0;      // new lines read
    uint64_t reports = 0;    // of them, reports loaded
    bool restarted = false;  // the log was replaced or cut: read from its start
};

// Seconds since 1970 UTC of "yyyy-mm-ddThh:mm:ss[+hh:mm|Z]"; false for anything else.
bool ParseIsoTime(const std::string& text, int64_t* seconds);

double Median(std::vector<double> values);

class CStatsDb {
public:
    CStatsDb();
    ~CStatsDb();
    CStatsDb(const CStatsDb&) = delete;
    CStatsDb& operator=(const CStatsDb&) = delete;

    bool Open(const std::string& path, std::string* error);
    // Reads the log from where the last load stopped (only whole lines).
    bool Load(const std::string& logPath, LoadResult* result, std::string* error);
    bool Query(std::vector<StatsRow>* rows, std::string* error);

private:
    bool Exec(const char* sql, std::string* error);

    sqlite3* db_ = nullptr;  // owned
};

void PrintStatsRows(const std::vector<StatsRow>& rows, std::FILE* out);
void PrintStatsRowsCsv(const std::vector<StatsRow>& rows, std::FILE* out);
void PrintStatsRowsJson(const std::vector<StatsRow>& rows, std::FILE* out);

}  // namespace publish
