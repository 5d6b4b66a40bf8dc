#pragma once
// A folder described by a table: path -> size and MD5 text. Folders are listed on their own.

#include <map>
#include <set>
#include <string>

#include "workflow/RestoreRules.h"

class CFakeFolder : public IFolderView {
public:
    struct Entry {
        uint64_t size = 0;
        std::wstring md5;
    };

    void AddFolder(const std::wstring& folder) { folders_.insert(folder); }
    void Add(const std::wstring& path, uint64_t size, const std::wstring& md5 = L"") {
        files_[path] = {size, md5};
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

private:
    std::set<std::wstring> folders_;
    std::map<std::wstring, Entry> files_;
};
