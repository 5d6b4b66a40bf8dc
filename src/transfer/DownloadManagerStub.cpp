// Stand-in for the engine binding until it lands (built only while DownloadManager.cpp is
// absent): no engine is bound, and a listener is accepted but never called.

#include "transfer/DownloadManager.h"

CDownloadManager& CDownloadManager::Instance() {
    static CDownloadManager manager;
    return manager;
}

bool CDownloadManager::IsBound() const { return false; }

void CDownloadManager::SetListener(ICDownloadManagerCallback* /*listener*/) {}
