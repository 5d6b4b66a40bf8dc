#pragma once
// One run of the uploader: the dump it was started for, then the dumps of the same program
// left in the same folder by earlier runs that could not send them (eleven at most).

#include <atomic>
#include <cstdint>
#include <string>

struct CrashUploadSettings {
    std::wstring statsServer;  // "host[:port]"
    std::wstring packageId;
    std::wstring version;
};

class CCrashUploadRun {
public:
    CCrashUploadRun(std::wstring dumpPath, CrashUploadSettings settings);

    // Sends what it can; returns the number of dumps the server received.
    int Run();

    // GetTickCount() of the last sign of life, for the watchdog.
    std::atomic<uint32_t>& Progress() { return progress_; }

private:
    bool SendOne(const std::wstring& path, int number, bool* serverReachable);
    const std::wstring& ClientId();

    std::wstring dumpPath_;
    CrashUploadSettings settings_;
    std::atomic<uint32_t> progress_;
    bool clientIdAsked_ = false;
    std::wstring clientId_;
};
