#pragma once
// The process-wide workflow state shared by the main window, the download window and the
// next-file worker: the files still to download, the package totals and the MD5 list.
// Portable. The pending list is changed only on the window thread; the worker only asks
// whether it is empty, so every access takes the lock.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "config/PackageFile.h"

class CWorkflowState {
public:
    CWorkflowState() = default;
    CWorkflowState(const CWorkflowState&) = delete;
    CWorkflowState& operator=(const CWorkflowState&) = delete;

    // The package as the configuration lists it: pending = all files, total = their sizes,
    // completed = 0, MD5 list = their MD5 texts joined with ",".
    void SetPackage(const std::deque<PackageFile>& files);

    void ReplacePending(const std::deque<PackageFile>& files);
    bool PendingEmpty() const;
    size_t PendingCount() const;
    // The front file; an empty record when none is pending.
    PackageFile PendingFront() const;
    void PopPending();
    std::deque<PackageFile> Pending() const;

    uint64_t TotalBytes() const;
    uint64_t CompletedBytes() const;
    void SetCompletedBytes(uint64_t bytes);
    void AddCompletedBytes(uint64_t bytes);
    std::wstring Md5List() const;

    bool RestoreFlag() const;
    void SetRestoreFlag(bool set);

private:
    mutable std::mutex lock_;
    std::deque<PackageFile> pending_;
    uint64_t totalBytes_ = 0;
    uint64_t completedBytes_ = 0;
    std::wstring md5List_;
    bool restore_ = false;
};
