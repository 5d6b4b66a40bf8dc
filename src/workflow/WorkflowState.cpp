#include "workflow/WorkflowState.h"

#include "workflow/FolderCheck.h"

void CWorkflowState::SetPackage(const std::deque<PackageFile>& files) {
    std::wstring md5List;
    for (const PackageFile& file : files) {
        if (!md5List.empty()) md5List += L",";
        md5List += file.md5;
    }
    std::lock_guard<std::mutex> guard(lock_);
    pending_ = files;
    totalBytes_ = TotalSizeOf(files);
    completedBytes_ = 0;
    md5List_ = md5List;
}

void CWorkflowState::ReplacePending(const std::deque<PackageFile>& files) {
    std::lock_guard<std::mutex> guard(lock_);
    pending_ = files;
}

bool CWorkflowState::PendingEmpty() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.empty();
}

size_t CWorkflowState::PendingCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.size();
}

PackageFile CWorkflowState::PendingFront() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.empty() ? PackageFile{} : pending_.front();
}

void CWorkflowState::PopPending() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!pending_.empty()) pending_.pop_front();
}

std::deque<PackageFile> CWorkflowState::Pending() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_;
}

uint64_t CWorkflowState::TotalBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return totalBytes_;
}

uint64_t CWorkflowState::CompletedBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return completedBytes_;
}

void CWorkflowState::SetCompletedBytes(uint64_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    completedBytes_ = bytes;
}

void CWorkflowState::AddCompletedBytes(uint64_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    completedBytes_ += bytes;
}

std::wstring CWorkflowState::Md5List() const {
    std::lock_guard<std::mutex> guard(lock_);
    return md5List_;
}

bool CWorkflowState::RestoreFlag() const {
    std::lock_guard<std::mutex> guard(lock_);
    return restore_;
}

void CWorkflowState::SetRestoreFlag(bool set) {
    std::lock_guard<std::mutex> guard(lock_);
    restore_ = set;
}
