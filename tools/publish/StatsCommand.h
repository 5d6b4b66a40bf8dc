#pragma once
// `stats [--db FILE] [--csv | --json] LOG`: the log loaded into its SQLite file (LOG.sqlite
// by default), then the figures by package, day and version.

#include "Arguments.h"

namespace publish {

int StatsFromDatabase(const CArguments& args);

}  // namespace publish
