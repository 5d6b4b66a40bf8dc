#pragma once
// The restoration and install rules' view of this machine's disk.

#include "workflow/RestoreRules.h"

class CDiskFolderView : public IFolderView {
public:
    bool FolderExists(const std::wstring& folder) const override;
    bool FileExists(const std::wstring& path) const override;
    uint64_t FileSize(const std::wstring& path) const override;
    std::wstring Md5Text(const std::wstring& path) const override;
    std::wstring Sha256Text(const std::wstring& path) const override;
};
