#pragma once
// The binding of the P2SP transfer engine module "VexaP2SP.dll": its thirteen exports,
// bound by name all or nothing, held in one process-wide object.

#include <windows.h>

#include <cstdint>

class CDownloadManager {
public:
    class ICDownloadManagerCallback {
    public:
        virtual ~ICDownloadManagerCallback() = default;
        // 0 = a task was started, 1 = a task was stopped. The result is ignored.
        virtual int OnTaskEvent(int event) = 0;
    };

    // The single manager, binding the engine on the first call.
    static CDownloadManager& Instance();

    bool IsBound() const;
    void SetListener(ICDownloadManagerCallback* listener);
    int StartTask(int taskId);  // tells the listener 0 when the engine answers exactly 1
    int StopTask(int taskId);   // tells the listener 1 when the engine answers exactly 1
};
