#include "config/DownloaderConfig.h"

#include "config/PackageIdentity.h"

CDownloaderConfig::CDownloaderConfig() { packageId_ = ReadOwnPackageId(); }

std::wstring CDownloaderConfig::GetVersionText() {
    if (versionText_.empty()) versionText_ = ReadOwnVersionText();
    return versionText_;
}
