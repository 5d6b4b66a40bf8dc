#pragma once
// The download window's view of the transfer engine: the eight calls it makes. The program
// binds them to the engine module; the window's tests script them. Portable.

#include <string>

#include "workflow/TaskFigures.h"

class ITransferTasks {
public:
    virtual ~ITransferTasks() = default;

    virtual void Init() = 0;
    virtual void SetSeeds(const std::wstring& seedUrl) = 0;
    // A new, stopped task; kNoTask when the engine refuses it (a link it cannot fetch, an
    // engine that did not load). `owner` is the window the engine may notify, or null.
    virtual int Create(void* owner, const std::wstring& url, const std::wstring& target) = 0;
    // Zero figures for kNoTask or a task the engine does not know.
    virtual TaskFigures Query(int task) const = 0;
    virtual void Start(int task) = 0;
    virtual void Stop(int task) = 0;
    virtual void Remove(int task) = 0;
    virtual void Uninit() = 0;
};
