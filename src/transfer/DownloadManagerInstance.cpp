// The process-wide binding: extraction of the engine from the program's resources to the
// per-package path. Kept apart from the binding itself so that tests can bind a module
// file of their own without the program's process-wide objects.
#include "app/ProcessObjects.h"
#include "transfer/DownloadManager.h"
#include "transfer/ModuleExtractor.h"

bool CDownloadManager::BindExtracted(const std::wstring& modulePath) {
    Release();
    ClearEntryPoints();
    listener_ = nullptr;
    DeleteFileW(modulePath.c_str());
    bool extracted = false;
    try {
        extracted = ExtractModule(120, L"DOWNLOAD_LIB", modulePath.c_str()) != FALSE;
    } catch (...) {
        extracted = false;
    }
    if (!extracted) return false;
    return Bind(modulePath);
}

CDownloadManager& CDownloadManager::Instance() {
    static CDownloadManager manager;
    static const bool bound = manager.BindExtracted(g_Config.GetEngineModulePath());
    (void)bound;
    return manager;
}
