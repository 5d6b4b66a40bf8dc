#include "StatsDb.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <tuple>

#include "LocalFiles.h"
#include "StatsLog.h"

namespace publish {
namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS reports (at INTEGER, day TEXT, address TEXT, report TEXT,"
    " package TEXT, client TEXT, version TEXT, md5 TEXT, time_ms INTEGER);"
    "CREATE TABLE IF NOT EXISTS log_position (log TEXT PRIMARY KEY, head TEXT,"
    " offset INTEGER);";

// Made after a first load (sorting once is much cheaper than growing them row by row) and
// kept up to date by later, smaller loads.
constexpr char kIndexes[] =
    "CREATE INDEX IF NOT EXISTS reports_by_group ON reports"
    " (package, day, version, client, report);"
    "CREATE INDEX IF NOT EXISTS reports_by_client ON reports (package, client, report, at);";

// The figures are kept up to date by every load, for the new rows only, so that a question
// reads a few small tables instead of every report.
constexpr char kSummarySchema[] =
    "CREATE TABLE IF NOT EXISTS group_counts (package TEXT, day TEXT, version TEXT,"
    " started INTEGER, completed INTEGER, offers INTEGER,"
    " PRIMARY KEY (package, day, version)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS group_clients (package TEXT, day TEXT, version TEXT,"
    " client TEXT, PRIMARY KEY (package, day, version, client)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS download_times (package TEXT, day TEXT, version TEXT,"
    " seconds INTEGER);";

// ?1 is the last row before the load. Each completion is paired with the same copy's last
// start of the same package before it (rows of earlier loads included).
std::string SummaryUpdate(int64_t lastRow) {
    const std::string newRows = " FROM reports WHERE rowid > " + std::to_string(lastRow);
    return "INSERT INTO group_counts SELECT package, day, version,"
           " SUM(report = 'statLogMuldownUrl'), SUM(report = 'statLogMuldownMd5'),"
           " SUM(report = 'statLogQuilletMuldownUrl')" +
           newRows +
           " GROUP BY package, day, version ON CONFLICT (package, day, version) DO UPDATE SET"
           " started = started + excluded.started, completed = completed + excluded.completed,"
           " offers = offers + excluded.offers;"
           "INSERT OR IGNORE INTO group_clients SELECT DISTINCT package, day, version, client" +
           newRows +
           ";"
           "INSERT INTO download_times SELECT m.package, m.day, m.version,"
           " m.at - (SELECT MAX(s.at) FROM reports s WHERE s.package = m.package"
           " AND s.client = m.client AND s.report = 'statLogMuldownUrl' AND s.at <= m.at)"
           " FROM reports m WHERE m.rowid > " +
           std::to_string(lastRow) + " AND m.report = 'statLogMuldownMd5' AND m.client <> '';";
}

constexpr char kGroups[] =
    "SELECT g.package, g.day, g.version, (SELECT COUNT(*) FROM group_clients c"
    " WHERE c.package = g.package AND c.day = g.day AND c.version = g.version),"
    " g.started, g.completed, g.offers FROM group_counts g ORDER BY 1, 2, 3";

constexpr char kDurations[] =
    "SELECT package, day, version, seconds FROM download_times WHERE seconds IS NOT NULL";

// The first line of a log names it: a log that was rotated starts with another line.
constexpr size_t kHeadBytes = 256;

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement Prepare(sqlite3* db, const char* sql, std::string* error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* statement, int index) {
    const auto* text = sqlite3_column_text(statement, index);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(statement, index)))
                : std::string();
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool Digits(const std::string& text, size_t at, size_t count, int* value) {
    if (at + count > text.size()) return false;
    *value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        *value = *value * 10 + (text[i] - '0');
    }
    return true;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Figure(double value, const char* format) {
    if (value < 0) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double StatsRow::CompletionRate() const {
    return downloadsStarted == 0
               ? -1
               : static_cast<double>(downloadsCompleted) / static_cast<double>(downloadsStarted);
}

bool ParseIsoTime(const std::string& text, int64_t* seconds) {
    int year, month, day, hour, minute, second;
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || !Digits(text, 0, 4, &year) ||
        !Digits(text, 5, 2, &month) || !Digits(text, 8, 2, &day) || !Digits(text, 11, 2, &hour) ||
        !Digits(text, 14, 2, &minute) || !Digits(text, 17, 2, &second) || month < 1 || month > 12 ||
        day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    int offset = 0;
    const std::string zone = text.substr(19);
    int zoneHours, zoneMinutes;
    if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':' &&
        Digits(zone, 1, 2, &zoneHours) && Digits(zone, 4, 2, &zoneMinutes)) {
        offset = (zone[0] == '-' ? -1 : 1) * (zoneHours * 3600 + zoneMinutes * 60);
    } else if (!zone.empty() && zone != "Z") {
        return false;
    }
    *seconds =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        hour * 3600 + minute * 60 + second - offset;
    return true;
}

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                     values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    return (*std::max_element(values.begin(),
                              values.begin() + static_cast<std::ptrdiff_t>(middle)) +
            upper) /
           2;
}

CStatsDb::CStatsDb() = default;

CStatsDb::~CStatsDb() { sqlite3_close(db_); }

bool CStatsDb::Exec(const char* sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    *error = message ? message : "SQLite error";
    sqlite3_free(message);
    return false;
}

bool CStatsDb::Open(const std::string& path, std::string* error) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
        *error = "cannot open " + path + ": " + sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_busy_timeout(db_, 10000);
    return Exec("PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536;", error) &&
           Exec(kSchema, error) && Exec(kSummarySchema, error);
}

bool CStatsDb::Load(const std::string& logPath, LoadResult* result, std::string* error) {
    std::ifstream in(PathOf(logPath), std::ios::binary);
    if (!in) {
        *error = "cannot read " + logPath;
        return false;
    }
    std::string head(kHeadBytes, '\0');
    in.read(&head[0], kHeadBytes);
    head.resize(static_cast<size_t>(in.gcount()));
    head = head.substr(0, head.find('\n'));
    in.clear();
    in.seekg(0, std::ios::end);
    const auto size = static_cast<uint64_t>(in.tellg());

    Statement position = Prepare(db_, "SELECT head, offset FROM log_position WHERE log = ?", error);
    if (!position) return false;
    BindText(position.get(), 1, logPath);
    uint64_t offset = 0;
    if (sqlite3_step(position.get()) == SQLITE_ROW) {
        offset = static_cast<uint64_t>(sqlite3_column_int64(position.get(), 1));
        if (ColumnText(position.get(), 0) != head || offset > size) {
            offset = 0;
            result->restarted = true;
        }
    }
    position.reset();

    if (!Exec("BEGIN IMMEDIATE", error)) return false;
    Statement insert =
        Prepare(db_, "INSERT INTO reports VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)", error);
    if (!insert) {
        std::string ignored;
        Exec("ROLLBACK", &ignored);
        return false;
    }
    // A database without rows gets its indexes after the load.
    Statement last = Prepare(db_, "SELECT IFNULL(MAX(rowid), 0) FROM reports", error);
    if (!last || sqlite3_step(last.get()) != SQLITE_ROW) return false;
    const int64_t lastRow = sqlite3_column_int64(last.get(), 0);
    last.reset();
    if (lastRow > 0 && !Exec(kIndexes, error)) return false;
    in.seekg(static_cast<std::streamoff>(offset));
    std::string pending;
    std::vector<char> chunk(4 << 20);
    ReportLine report;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        pending.append(chunk.data(), static_cast<size_t>(in.gcount()));
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            bool blank = false;
            ++result->lines;
            if (!ParseReportLine(pending.substr(start, end - start), &report, &blank)) continue;
            int64_t at = 0;
            ParseIsoTime(report.time, &at);
            sqlite3_reset(insert.get());
            sqlite3_bind_int64(insert.get(), 1, at);
            BindText(insert.get(), 2, report.time.substr(0, 10));
            BindText(insert.get(), 3, report.address);
            BindText(insert.get(), 4, report.report);
            BindText(insert.get(), 5, report.Value("name"));
            BindText(insert.get(), 6, report.Value("mid"));
            BindText(insert.get(), 7, report.Value("ver"));
            BindText(insert.get(), 8, report.Value("md5"));
            if (report.values.count("time"))
                sqlite3_bind_int64(insert.get(), 9,
                                   std::strtoll(report.Value("time").c_str(), nullptr, 10));
            else
                sqlite3_bind_null(insert.get(), 9);
            if (sqlite3_step(insert.get()) != SQLITE_DONE) {
                *error = sqlite3_errmsg(db_);
                std::string ignored;
                Exec("ROLLBACK", &ignored);
                return false;
            }
            ++result->reports;
        }
        offset += start;  // a last line without its line feed waits for the next load
        pending.erase(0, start);
    }
    insert.reset();
    Statement store =
        Prepare(db_, "INSERT OR REPLACE INTO log_position VALUES (?1, ?2, ?3)", error);
    if (!store) return false;
    BindText(store.get(), 1, logPath);
    BindText(store.get(), 2, head);
    sqlite3_bind_int64(store.get(), 3, static_cast<sqlite3_int64>(offset));
    if (sqlite3_step(store.get()) != SQLITE_DONE) {
        *error = sqlite3_errmsg(db_);
        std::string ignored;
        Exec("ROLLBACK", &ignored);
        return false;
    }
    store.reset();
    return Exec(kIndexes, error) && Exec(SummaryUpdate(lastRow).c_str(), error) &&
           Exec("COMMIT", error);
}

bool CStatsDb::Query(std::vector<StatsRow>* rows, std::string* error) {
    Statement groups = Prepare(db_, kGroups, error);
    if (!groups) return false;
    std::map<std::tuple<std::string, std::string, std::string>, size_t> index;
    while (sqlite3_step(groups.get()) == SQLITE_ROW) {
        StatsRow row;
        row.package = ColumnText(groups.get(), 0);
        row.day = ColumnText(groups.get(), 1);
        row.version = ColumnText(groups.get(), 2);
        row.copiesStarted = static_cast<uint64_t>(sqlite3_column_int64(groups.get(), 3));
        row.downloadsStarted = static_cast<uint64_t>(sqlite3_column_int64(groups.get(), 4));
        row.downloadsCompleted = static_cast<uint64_t>(sqlite3_column_int64(groups.get(), 5));
        row.companionOffers = static_cast<uint64_t>(sqlite3_column_int64(groups.get(), 6));
        index[{row.package, row.day, row.version}] = rows->size();
        rows->push_back(row);
    }
    Statement durations = Prepare(db_, kDurations, error);
    if (!durations) return false;
    std::map<size_t, std::vector<double>> seconds;
    while (sqlite3_step(durations.get()) == SQLITE_ROW) {
        if (sqlite3_column_type(durations.get(), 3) == SQLITE_NULL) continue;
        const auto found =
            index.find({ColumnText(durations.get(), 0), ColumnText(durations.get(), 1),
                        ColumnText(durations.get(), 2)});
        if (found != index.end())
            seconds[found->second].push_back(sqlite3_column_double(durations.get(), 3));
    }
    for (auto& [row, values] : seconds) (*rows)[row].medianDownloadSeconds = Median(values);
    return true;
}

void PrintStatsRows(const std::vector<StatsRow>& rows, std::FILE* out) {
    std::fprintf(out, "%-40s %-10s %-12s %7s %7s %7s %6s %9s %7s\n", "PACKAGE", "DAY", "VERSION",
                 "COPIES", "STARTED", "DONE", "RATE", "MEDIAN_S", "OFFERS");
    for (const StatsRow& row : rows) {
        std::fprintf(out, "%-40s %-10s %-12s %7llu %7llu %7llu %6s %9s %7llu\n",
                     VisibleText(row.package).c_str(), VisibleText(row.day).c_str(),
                     VisibleText(row.version).c_str(),
                     static_cast<unsigned long long>(row.copiesStarted),
                     static_cast<unsigned long long>(row.downloadsStarted),
                     static_cast<unsigned long long>(row.downloadsCompleted),
                     Figure(row.CompletionRate() * 100, "%.1f%%").c_str(),
                     Figure(row.medianDownloadSeconds, "%.0f").c_str(),
                     static_cast<unsigned long long>(row.companionOffers));
    }
}

void PrintStatsRowsCsv(const std::vector<StatsRow>& rows, std::FILE* out) {
    std::fprintf(out,
                 "package,day,version,copies_started,downloads_started,downloads_completed,"
                 "completion_rate,median_download_seconds,companion_offers\n");
    for (const StatsRow& row : rows) {
        std::fprintf(out, "%s,%s,%s,%llu,%llu,%llu,%s,%s,%llu\n", CsvField(row.package).c_str(),
                     CsvField(row.day).c_str(), CsvField(row.version).c_str(),
                     static_cast<unsigned long long>(row.copiesStarted),
                     static_cast<unsigned long long>(row.downloadsStarted),
                     static_cast<unsigned long long>(row.downloadsCompleted),
                     Figure(row.CompletionRate(), "%.4f").c_str(),
                     Figure(row.medianDownloadSeconds, "%.1f").c_str(),
                     static_cast<unsigned long long>(row.companionOffers));
    }
}

void PrintStatsRowsJson(const std::vector<StatsRow>& rows, std::FILE* out) {
    std::fprintf(out, "[");
    for (size_t i = 0; i < rows.size(); ++i) {
        const StatsRow& row = rows[i];
        const std::string rate = Figure(row.CompletionRate(), "%.4f");
        const std::string median = Figure(row.medianDownloadSeconds, "%.1f");
        std::fprintf(out,
                     "%s\n {\"package\": %s, \"day\": %s, \"version\": %s, "
                     "\"copies_started\": %llu, \"downloads_started\": %llu, "
                     "\"downloads_completed\": %llu, \"completion_rate\": %s, "
                     "\"median_download_seconds\": %s, \"companion_offers\": %llu}",
                     i ? "," : "", JsonString(row.package).c_str(), JsonString(row.day).c_str(),
                     JsonString(row.version).c_str(),
                     static_cast<unsigned long long>(row.copiesStarted),
                     static_cast<unsigned long long>(row.downloadsStarted),
                     static_cast<unsigned long long>(row.downloadsCompleted),
                     rate.empty() ? "null" : rate.c_str(), median.empty() ? "null" : median.c_str(),
                     static_cast<unsigned long long>(row.companionOffers));
    }
    std::fprintf(out, "\n]\n");
}

}  // namespace publish
