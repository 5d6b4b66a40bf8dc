// The process-wide binding, at the per-package path the configuration object names. Kept
// apart from the binding itself so that tests bind without the program's process-wide
// objects.
#include "config/DownloaderConfigInstance.h"
#include "transfer/DownloadManager.h"

CDownloadManager& CDownloadManager::Instance() {
    static CDownloadManager manager;
    static const bool bound = manager.BindExtracted(g_Config.GetEngineModulePath());
    (void)bound;
    return manager;
}
