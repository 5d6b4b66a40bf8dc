#pragma once
// The transfer calls bound to the engine module: a status record read into named fields,
// and nothing called on an engine that failed to bind (its tasks are refused).

#include <string>

#include "workflow/TransferTasks.h"

class CDownloadManager;

class CEngineTasks : public ITransferTasks {
public:
    explicit CEngineTasks(CDownloadManager* engine) : engine_(engine) {}

    void Init() override;
    void SetSeeds(const std::wstring& seedUrl) override;
    int Create(void* owner, const std::wstring& url, const std::wstring& target) override;
    TaskFigures Query(int task) const override;
    void Start(int task) override;
    void Stop(int task) override;
    void Remove(int task) override;
    void Uninit() override;

private:
    bool Ready() const;

    CDownloadManager* engine_;  // not owned
};

// "PDown://b7=1|<link>|h1=<md5>": the engine's task form for a package file.
std::wstring GameTaskUrl(const std::wstring& link, const std::wstring& md5);
