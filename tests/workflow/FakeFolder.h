#pragma once
// A folder described by a table: path -> size, MD5 and SHA-256 text. Folders are listed on their own.

#include <map>
#include <set>
#include <string>

#include "workflow/RestoreRules.h"

class CFakeFolder : public IFolderView {
public:
    struct Entry {
        uint64_t size = 0;
        std::wstring md5;
        std::wstring sha256;
    };

    void AddFolder(const std::wstring& folder) { folders_.insert(folder); }
    void Add(const std::wstring& path, uint64_t size, const std::wstring& md5 = L"",
             const std::wstring& sha256 = L"") {
        files_[path] = {size, md5, sha256};
    }

    bool FolderExists(const std::wstring& folder) const override {
        return folders_.count(folder) != 0;
    }
    bool FileExists(const std::wstring& path) const override { return files_.count(path) != 0; }
    uint64_t FileSize(const std::wstring& path) const override {
        auto found = files_.find(path);
        return found == files_.end() ? 0 : found->second.size;
    }
    std::wstring Md5Text(const std::wstring& path) const override {
        auto found = files_.find(path);
        return found == files_.end() ? std::wstring() : found->second.md5;
    }
    std::wstring Sha256Text(const std::wstring& path) const override {
        auto found = files_.find(path);
        return found == files_.end() ? std::wstring() : found->second.sha256;
    }

private:
    std::set<std::wstring> folders_;
    std::map<std::wstring, Entry> files_;
};
