#pragma once
// The binding of the P2SP transfer engine module "VexaP2SP.dll": its thirteen exports,
// bound by name all or nothing, held in one process-wide object.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/ScopedHandle.h"

class CDownloadManager {
public:
    class ICDownloadManagerCallback {
    public:
        virtual ~ICDownloadManagerCallback() = default;
        // 0 = a task was started, 1 = a task was stopped. The result is ignored.
        virtual int OnTaskEvent(int event) = 0;
    };

    // The engine's exports (x64: one calling convention; texts are UTF-16).
    using InitFn = int (*)(int reserved);
    using LoginFn = int (*)();
    using UninitFn = int (*)();
    using CreateP2SPTaskFn = int (*)(HWND owner, const wchar_t* url, const wchar_t* targetPath);
    using QueryTaskFn = int (*)(int taskId, void* statusRecord596);
    using StopSeedFn = int (*)(int taskId);
    using GetFinishMessageFn = int (*)(int taskId, void* buffer, int size);
    using RemoveTaskFn = int (*)(int taskId);
    using SetConfigInfoFn = int (*)(const wchar_t* text, int size);
    using UpdateRegInfoFn = int (*)(const wchar_t* text, int size);
    using SetP2spOptionFn = int (*)(int option, const wchar_t* text, int byteLength);
    using StartTaskFn = int (*)(int taskId);
    using StopTaskFn = int (*)(int taskId);

    // The single manager, binding the engine on the first call: the module is extracted
    // from resource 120 "DOWNLOAD_LIB" to the per-package path in the temporary folder.
    static CDownloadManager& Instance();

    CDownloadManager() = default;
    // Releases the module: stops the engine, frees the module, deletes its file.
    ~CDownloadManager();
    CDownloadManager(const CDownloadManager&) = delete;
    CDownloadManager& operator=(const CDownloadManager&) = delete;

    // Deletes whatever is at `modulePath`, extracts the engine there and binds it.
    bool BindExtracted(const std::wstring& modulePath);
    // Loads the module at `modulePath` and looks up all thirteen exports. False (with every
    // entry point null) when the module does not load or lacks any export; a module that
    // loaded stays loaded. The file at `modulePath` is deleted on release either way.
    bool Bind(const std::wstring& modulePath);

    bool IsBound() const { return bound_; }
    void SetListener(ICDownloadManagerCallback* listener) { listener_ = listener; }
    int StartTask(int taskId);  // tells the listener 0 when the engine answers exactly 1
    int StopTask(int taskId);   // tells the listener 1 when the engine answers exactly 1

    // Entry points, null until bound. Callers check IsBound() once before the first call.
    InitFn pfnInit = nullptr;
    LoginFn pfnLogin = nullptr;
    UninitFn pfnUninit = nullptr;
    CreateP2SPTaskFn pfnCreateP2SPTask = nullptr;
    QueryTaskFn pfnQueryTask = nullptr;
    StopSeedFn pfnStopSeed = nullptr;
    GetFinishMessageFn pfnGetFinishMessage = nullptr;
    RemoveTaskFn pfnRemoveTask = nullptr;
    SetConfigInfoFn pfnSetConfigInfo = nullptr;
    UpdateRegInfoFn pfnUpdateRegInfo = nullptr;
    SetP2spOptionFn pfnSetP2spOption = nullptr;
    StartTaskFn pfnStartTask = nullptr;
    StopTaskFn pfnStopTask = nullptr;

private:
    void ClearEntryPoints();
    bool LookUpEntryPoints();
    void Release();

    CScopedModule module_;                           // freed on release
    std::wstring modulePath_;                        // deleted on release
    ICDownloadManagerCallback* listener_ = nullptr;  // not owned
    bool bound_ = false;
};
