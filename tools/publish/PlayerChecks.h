#pragma once
// What players of a release will meet beyond the files: the install button's GameStart, the
// version prompt, the companion installer's signature, and, for a stamped copy, the crash-dump
// uploader beside it and the statistics and crash-dump addresses it reports to. Each is one
// more row of the check's table.

#include <string>

#include "Check.h"
#include "Stamp.h"

namespace publish {

struct PlayerCheckRequest {
    std::string
        copyPath;  // a stamped copy of the program; empty: the rows that need one are left out
    int timeoutMs = 10000;
};

void CheckWhatPlayersMeet(const PlayerCheckRequest& request, CheckReport& report);

// The stamp of a copy of the program (or of the uploader) on disk.
bool ReadStampedCopy(const std::string& path, stamp::StampInfo* info, std::string* error);

// The GameStart of a package of several files must be one of its files (compared as Windows
// compares file names); empty when it is, or when one file needs none.
std::string GameStartProblem(const ConfigValues& values);

}  // namespace publish
