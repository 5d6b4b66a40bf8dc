#pragma once
// The restoration and install rules' view of this machine's disk.

#include <windows.h>

#include "workflow/RestoreRules.h"

class CDiskFolderView : public IFolderView {
public:
    bool FolderExists(const std::wstring& folder) const override;
    bool FileExists(const std::wstring& path) const override;
    uint64_t FileSize(const std::wstring& path) const override;
    std::wstring Md5Text(const std::wstring& path) const override;
    std::wstring Sha256Text(const std::wstring& path) const override;
};

// The same disk for a window: a whole-file hash (seconds for gigabytes) runs while the window
// goes on answering its messages (RunWhileDispatching), so look at the window's state again
// after asking.
class CAnsweringDiskView : public CDiskFolderView {
public:
    explicit CAnsweringDiskView(HWND window) : window_(window) {}
    std::wstring Sha256Text(const std::wstring& path) const override;

private:
    HWND window_;
};
