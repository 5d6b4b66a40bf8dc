#pragma once
// Sends one dump to the statistics server with an HTTP PUT (see CrashUploadRules.h).

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct DumpUploadTarget {
    std::wstring host;
    int port = 80;
    std::wstring path;  // from BuildCrashUploadPath
};

enum class UploadResult {
    kReceived,  // a 2xx answer: the server has the dump
    kRefused,   // another answer: this dump stays, the next may still go
    kNoAnswer,  // no connection or no answer: the server is out of reach for now
};

// `progress` is set to GetTickCount() whenever bytes go out or an answer comes in, for the
// watchdog that ends a stalled run.
UploadResult UploadDump(const DumpUploadTarget& target, const std::vector<uint8_t>& body,
                        std::atomic<uint32_t>* progress);
