#pragma once
// The configuration object: owns the package identity, derives the per-package file names
// in the temporary folder, fetches and parses the package's configuration document and the
// skin image, and answers every question about a configuration key.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "config/ConfigDocument.h"
#include "config/PackageFile.h"
#include "config/SignedRelease.h"
#include "transfer/HttpDownload.h"

// Where a configuration object finds its package. The program's own object takes the
// identity from its version resource and the servers from its stamped deployment values.
struct ConfigSite {
    std::wstring packageId;
    std::wstring serverHost;   // host[:port] of the configuration server
    std::wstring homePageUrl;  // the maker's home page, default of NewVersionDownloaderLink
    std::wstring tempFolder;   // ends with a backslash; empty: the system's temporary folder
    // The publisher's public key texts; any: only a signed release is taken.
    std::vector<std::string> publisherKeys;
};

// Results of Init.
enum ConfigInitResult {
    kConfigFetchFailed = 0,  // the document could not be fetched
    kConfigKeyMissing = 1,   // a required key is missing or empty
    kConfigSkinFailed = 2,   // the document is valid, the skin image could not be fetched
    kConfigRefused = 3,      // a copy with publisher keys refused the release (see verdict)
    kConfigReady = 5,        // the document is valid and the skin image is present or unused
};

enum ConfigRequestTag { kTagNone = 0, kTagDocument = 1, kTagSkinImage = 2 };

class CDownloaderConfig : public IHttpDownloadCallback {
public:
    class IConfigInitCallback {
    public:
        virtual ~IConfigInitCallback() = default;
        // The first three arguments as OnHttpStatus has them; tag 1 document, 2 skin image.
        virtual int OnInitStatus(DWORD received, DWORD total, int state, int tag) = 0;
    };

    static constexpr int64_t kSkinCacheSeconds = 172800;  // two days

    CDownloaderConfig();
    explicit CDownloaderConfig(const ConfigSite& site);

    // Fetches and parses the document, then fetches the skin image. A null callback keeps
    // the one given before. Runs once, on the configuration thread. The document file never
    // outlives the call.
    int Init(IConfigInitCallback* callback);
    // From any thread, for a program that is closing: a running Init ends as soon as its
    // fetch can stop (it then reports a failed fetch), and every later fetch fails at once.
    // Nothing half-fetched is kept.
    void CancelInit() { http_.Cancel(); }

    int OnHttpStatus(DWORD received, DWORD total, int state) override;

    std::wstring GetPackageId() const { return packageId_; }
    bool TakesSignedReleasesOnly() const { return !site_.publisherKeys.empty(); }
    ReleaseVerdict GetReleaseVerdict() const { return releaseVerdict_; }
    // Built on the first request that finds it empty, then kept.
    std::wstring GetVersionText();

    std::wstring GetConfigUrl();
    std::wstring GetDocumentPath();
    std::wstring GetSkinImagePath();  // empty when no skin image is configured
    std::wstring GetEngineModulePath() const { return engineModulePath_; }
    std::wstring GetVerifyModulePath() const { return verifyModulePath_; }
    // A document read elsewhere (the window tests' packages) instead of fetched.
    void UseValues(const ConfigValues& values) { values_ = values; }
    std::deque<PackageFile> GetParts() const { return values_.parts; }

    std::wstring GetGameName() const { return values_.gameName; }
    std::wstring GetGameStart() const { return values_.gameStart; }
    std::wstring GetSeedUrl() const { return values_.seedUrl; }
    std::wstring GetSkinLink() const { return values_.skinLink; }
    std::wstring GetNewVersion() const { return values_.newVersion; }
    std::wstring GetNewVersionDownloaderLink() const { return values_.newVersionDownloaderLink; }
    std::wstring GetEmbedLink2() const { return values_.embedLink2; }
    std::wstring GetQuilletDownloaderLink() const { return values_.quilletDownloaderLink; }
    std::wstring GetSafeCheck() const { return values_.safeCheck; }
    std::wstring GetGameVersion() const { return values_.gameVersion; }
    std::wstring GetQuilletInstallTip() const { return values_.quilletInstallTip; }
    std::wstring GetTextPromotionTitle() const { return values_.textPromotionTitle; }
    std::wstring GetTextPromotionLink() const { return values_.textPromotionLink; }
    std::wstring GetCancelDownloadTips() const { return values_.cancelDownloadTips; }

private:
    void SetUpHttpClient();
    void BuildModulePaths();
    std::wstring TempFolder() const;
    std::wstring TempFileName(const wchar_t* suffix) const;  // folder + identifier + suffix
    bool Fetch(const std::wstring& url, const std::wstring& file, int tag, int64_t cacheSeconds);
    bool ParseDocument();
    int ReadFetchedDocument();
    // DownloaderConfigRelease.cpp: the signed release's checks around the parse.
    ReleaseVerdict JudgeFetchedRelease(SignedRelease* release);
    bool FetchSignatureText(std::string* text);
    bool AcceptRelease(const SignedRelease& release);

    ConfigSite site_;
    IConfigInitCallback* initCallback_ = nullptr;  // not owned
    CHttpDownload http_;
    std::wstring configUrl_;
    std::wstring skinImagePath_;
    std::wstring documentPath_;
    std::wstring versionText_;
    std::wstring packageId_;
    std::wstring engineModulePath_;
    std::wstring verifyModulePath_;
    int requestTag_ = kTagNone;
    ReleaseVerdict releaseVerdict_ = ReleaseVerdict::kAccepted;

    ConfigValues values_;  // what the document said
};
