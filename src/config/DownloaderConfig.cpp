#include "config/DownloaderConfig.h"

#include "config/DeploymentValuesInstance.h"
#include "config/FileAge.h"
#include "config/LazyText.h"
#include "config/PackageIdentity.h"
#include "config/PartListSplitter.h"
#include "config/ProfileText.h"
#include "probes/FileProbes.h"

namespace {

constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kSendTimeoutMs = 1000;
constexpr DWORD kReceiveTimeoutMs = 5000;

ConfigSite OwnSite() {
    ConfigSite site;
    site.packageId = ReadOwnPackageId();
    site.serverHost = ConfigServerHost();
    site.homePageUrl = MakerHomePageUrl();
    site.publisherKeys = OwnDeploymentValues().publisherKeys;
    return site;
}

}  // namespace

CDownloaderConfig::CDownloaderConfig() : CDownloaderConfig(OwnSite()) {}

CDownloaderConfig::CDownloaderConfig(const ConfigSite& site) : site_(site) {
    packageId_ = site_.packageId;
    SetUpHttpClient();
    BuildModulePaths();  // they hold the identifier, so they follow it
}

void CDownloaderConfig::SetUpHttpClient() {
    http_.SetTimeouts(kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
    http_.SetCallback(this);
}

std::wstring CDownloaderConfig::TempFolder() const {
    return site_.tempFolder.empty() ? GetTempFolder() : site_.tempFolder;
}

void CDownloaderConfig::BuildModulePaths() {
    BuildOnce(engineModulePath_, [this] { return TempFileName(L"VexaP2SP.dll"); });
    BuildOnce(verifyModulePath_, [this] { return TempFileName(L"Vexaverify.dll"); });
}

std::wstring CDownloaderConfig::GetVersionText() {
    return BuildOnce(versionText_, &ReadOwnVersionText);
}

std::wstring CDownloaderConfig::GetConfigUrl() {
    return BuildOnce(configUrl_, [this] {
        return L"http://" + site_.serverHost + L"/publish/tool/muldown/" + packageId_ + L".html";
    });
}

std::wstring CDownloaderConfig::GetDocumentPath() {
    return BuildOnce(documentPath_, [this] { return TempFileName(L".cfg"); });
}

// Only a configured skin has a file.
std::wstring CDownloaderConfig::GetSkinImagePath() {
    if (values_.skinLink.empty()) return skinImagePath_;
    return BuildOnce(skinImagePath_, [this] { return TempFileName(L".png"); });
}

std::wstring CDownloaderConfig::TempFileName(const wchar_t* suffix) const {
    std::wstring folder = TempFolder();
    return folder.empty() ? std::wstring() : folder + packageId_ + suffix;
}

int CDownloaderConfig::OnHttpStatus(DWORD received, DWORD total, int state) {
    if (initCallback_) initCallback_->OnInitStatus(received, total, state, requestTag_);
    return 0;
}

int CDownloaderConfig::Init(IConfigInitCallback* callback) {
    if (callback) initCallback_ = callback;
    const std::wstring document = GetDocumentPath();
    int result = kConfigFetchFailed;
    if (Fetch(GetConfigUrl(), document, kTagDocument, 0)) result = ReadFetchedDocument();
    if (!document.empty()) ::DeleteFileW(document.c_str());
    return result;
}

// A copy with publisher keys reads no key of a document before its signature and serial
// hold, and takes it only when every file has its hash.
int CDownloaderConfig::ReadFetchedDocument() {
    SignedRelease release;
    if (TakesSignedReleasesOnly()) {
        releaseVerdict_ = JudgeFetchedRelease(&release);
        if (releaseVerdict_ != ReleaseVerdict::kAccepted) {
            values_.parts.clear();  // nothing of an earlier read may be taken for this one
            return kConfigRefused;
        }
    }
    if (!ParseDocument()) return kConfigKeyMissing;
    if (TakesSignedReleasesOnly() && !AcceptRelease(release)) return kConfigRefused;
    if (values_.skinLink.empty() ||
        Fetch(values_.skinLink, GetSkinImagePath(), kTagSkinImage, kSkinCacheSeconds)) {
        return kConfigReady;
    }
    return kConfigSkinFailed;
}

// The body arrives in a side file that takes the real name only once it is whole, and a
// failed fetch removes what it wrote: a broken file is never found by the next cache check
// or taken for a document, not even after a transfer cut short by the end of the process.
bool CDownloaderConfig::Fetch(const std::wstring& url, const std::wstring& file, int tag,
                              int64_t cacheSeconds) {
    if (url.empty() || file.empty()) return false;
    if (cacheSeconds > 0 && IsFileYoungerThan(file, cacheSeconds)) return true;
    requestTag_ = tag;
    const std::wstring arriving = file + L".part";
    if (http_.Download(url.c_str(), arriving.c_str()) &&
        ::MoveFileExW(arriving.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    ::DeleteFileW(arriving.c_str());
    ::DeleteFileW(file.c_str());
    return false;
}

// A retry after a failed start-up parses again on the same object: it starts from nothing,
// so no part is listed twice and no value of the earlier document lingers.
bool CDownloaderConfig::ParseDocument() {
    skinImagePath_.clear();
    CProfileKeyReader reader(documentPath_);
    return ParseConfigDocument(reader, site_.homePageUrl, values_);
}
