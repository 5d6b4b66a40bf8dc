#include "StatsCommand.h"

#include <cstdio>

#include "StatsDb.h"

namespace publish {

int StatsFromDatabase(const CArguments& args) {
    const std::string unknown = args.Unknown({"csv", "json", "db"});
    if (!unknown.empty() || args.Operands().size() != 1 || (args.Has("csv") && args.Has("json"))) {
        std::fprintf(stderr, "usage: vexa_publish stats [--db FILE] [--csv | --json] LOG\n");
        return 2;
    }
    const std::string log = args.Operands()[0];
    const std::string path = args.Value("db", log + ".sqlite");
    CStatsDb db;
    LoadResult loaded;
    std::vector<StatsRow> rows;
    std::string error;
    if (!db.Open(path, &error) || !db.Load(log, &loaded, &error) || !db.Query(&rows, &error)) {
        std::fprintf(stderr, "vexa_publish: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: %llu new line(s), %llu report(s) loaded into %s%s\n", log.c_str(),
                 static_cast<unsigned long long>(loaded.lines),
                 static_cast<unsigned long long>(loaded.reports), path.c_str(),
                 loaded.restarted ? " (the log was replaced: read from its start)" : "");
    if (args.Has("csv")) {
        PrintStatsRowsCsv(rows, stdout);
    } else if (args.Has("json")) {
        PrintStatsRowsJson(rows, stdout);
    } else {
        PrintStatsRows(rows, stdout);
    }
    return 0;
}

}  // namespace publish
