#pragma once
// The check a publisher runs before announcing a release: the published document fetched and
// read like the program does it, then every file, seed copy, the companion installer and the
// skin image asked for the way the program and its engine will ask.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "config/ConfigDocument.h"

namespace publish {

struct CheckRow {
    std::string item;  // "document", "file 1", "seed 1.2", "companion", "skin"
    std::string url;
    std::string size;     // as the server reports it
    std::string range;    // how a Range request was answered
    std::string md5;      // the fingerprint against the listed text
    std::string problem;  // empty when the row passed
    std::string via;      // the redirect target that answered, if the link redirected
    std::string note;     // what was and was not looked at, when that needs saying
};

struct CheckReport {
    std::vector<CheckRow> rows;
    ConfigValues values;  // what the program reads from the document
    std::string document;  // its bytes as served
    uint64_t wireBytes = 0;
    bool Passed() const;
};

CheckReport CheckDeployment(const std::string& documentUrl, int timeoutMs);

void PrintCheckTable(const CheckReport& report, std::FILE* out);

}  // namespace publish
