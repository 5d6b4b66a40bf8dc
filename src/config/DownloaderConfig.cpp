#include "config/DownloaderConfig.h"

#include "config/LazyText.h"
#include "config/PackageIdentity.h"

CDownloaderConfig::CDownloaderConfig() { packageId_ = ReadOwnPackageId(); }

std::wstring CDownloaderConfig::GetVersionText() {
    return BuildOnce(versionText_, &ReadOwnVersionText);
}
