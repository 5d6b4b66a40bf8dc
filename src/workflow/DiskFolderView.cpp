#include "workflow/DiskFolderView.h"

#include <windows.h>

#include "probes/FileProbes.h"
#include "shell/DispatchingWait.h"
#include "transfer/FileIntegrity.h"
#include "transfer/FileSha256.h"

bool CDiskFolderView::FolderExists(const std::wstring& folder) const {
    return ::FolderExists(folder.c_str());
}

bool CDiskFolderView::FileExists(const std::wstring& path) const {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t CDiskFolderView::FileSize(const std::wstring& path) const {
    return FileExists(path) ? GetFileSize64(path.c_str()) : 0;
}

std::wstring CDiskFolderView::Md5Text(const std::wstring& path) const {
    Md5Bytes digest;
    if (!FileFingerprint(path.c_str(), &digest)) return std::wstring();
    return DigestText(digest);
}

std::wstring CDiskFolderView::Sha256Text(const std::wstring& path) const {
    Sha256Bytes digest;
    if (!FileSha256(path.c_str(), &digest)) return std::wstring();
    const std::string text = ::Sha256Text(digest);
    return std::wstring(text.begin(), text.end());
}

std::wstring CAnsweringDiskView::Sha256Text(const std::wstring& path) const {
    std::wstring text;
    RunWhileDispatching(window_, [&] { text = CDiskFolderView::Sha256Text(path); });
    return text;
}
