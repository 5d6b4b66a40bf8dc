#pragma once
// The download window's use of the engine binding: task ids that may be -1, a status record
// read into named fields, and nothing called on an engine that failed to bind.

#include <windows.h>

#include <cstdint>
#include <string>

class CDownloadManager;

struct TaskFigures {
    uint64_t size = 0;
    uint64_t done = 0;
    uint64_t speed = 0;  // both speed components together
    int state = 0;       // 0 running or paused, 1 finished, other values failed
};

class CEngineTasks {
public:
    explicit CEngineTasks(CDownloadManager* engine) : engine_(engine) {}

    bool Ready() const;
    void Init();
    void SetSeeds(const std::wstring& seedUrl);
    int Create(HWND owner, const std::wstring& url, const std::wstring& target);
    // Zero figures for -1 or an unknown task.
    TaskFigures Query(int task) const;
    void Start(int task);
    void Stop(int task);
    void Remove(int task);
    void Uninit();

private:
    CDownloadManager* engine_;  // not owned
};

// "PDown://b7=1|<link>|h1=<md5>": the engine's task form for a package file.
std::wstring GameTaskUrl(const std::wstring& link, const std::wstring& md5);
