#pragma once
// The configuration object: owns the package identity, derives the per-package file names
// in the temporary folder, fetches and parses the package's configuration document and the
// skin image, and answers every question about a configuration key.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

#include "config/PackageFile.h"
#include "transfer/HttpDownload.h"

// Where a configuration object finds its package. The program's own object takes the
// identity from its version resource and the servers from its stamped deployment values.
struct ConfigSite {
    std::wstring packageId;
    std::wstring serverHost;   // host[:port] of the configuration server
    std::wstring homePageUrl;  // the maker's home page, default of NewVersionDownloaderLink
    std::wstring tempFolder;   // ends with a backslash; empty: the system's temporary folder
};

// Results of Init.
enum ConfigInitResult {
    kConfigFetchFailed = 0,  // the document could not be fetched
    kConfigKeyMissing = 1,   // a required key is missing or empty
    kConfigSkinFailed = 2,   // the document is valid, the skin image could not be fetched
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

    int OnHttpStatus(DWORD received, DWORD total, int state) override;

    std::wstring GetPackageId() const { return packageId_; }
    // Built on the first request that finds it empty, then kept.
    std::wstring GetVersionText();

    std::wstring GetConfigUrl();
    std::wstring GetDocumentPath();
    std::wstring GetSkinImagePath();  // empty when no skin image is configured
    std::wstring GetEngineModulePath() const { return engineModulePath_; }
    std::wstring GetVerifyModulePath() const { return verifyModulePath_; }
    std::deque<PackageFile> GetParts() const { return parts_; }

    std::wstring GetGameName() const { return gameName_; }
    std::wstring GetGameStart() const { return gameStart_; }
    std::wstring GetSeedUrl() const { return seedUrl_; }
    std::wstring GetSkinLink() const { return skinLink_; }
    std::wstring GetNewVersion() const { return newVersion_; }
    std::wstring GetNewVersionDownloaderLink() const { return newVersionDownloaderLink_; }
    std::wstring GetEmbedLink2() const { return embedLink2_; }
    std::wstring GetQuilletDownloaderLink() const { return quilletDownloaderLink_; }
    std::wstring GetSafeCheck() const { return safeCheck_; }
    std::wstring GetGameVersion() const { return gameVersion_; }
    std::wstring GetQuilletInstallTip() const { return quilletInstallTip_; }
    std::wstring GetTextPromotionTitle() const { return textPromotionTitle_; }
    std::wstring GetTextPromotionLink() const { return textPromotionLink_; }
    std::wstring GetCancelDownloadTips() const { return cancelDownloadTips_; }

private:
    void SetUpHttpClient();
    void BuildModulePaths();
    std::wstring TempFolder() const;
    std::wstring TempFileName(const wchar_t* suffix) const;  // folder + identifier + suffix
    bool Fetch(const std::wstring& url, const std::wstring& file, int tag, int64_t cacheSeconds);
    void ClearDocumentValues();
    bool ParseDocument();
    std::wstring ReadKey(const wchar_t* section, const wchar_t* key);

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

    std::wstring gameName_;
    std::wstring gameStart_;
    std::wstring seedUrl_;
    std::wstring skinLink_;
    std::wstring newVersion_;
    std::wstring newVersionDownloaderLink_;
    std::wstring embedLink2_;
    std::wstring quilletDownloaderLink_;
    std::wstring safeCheck_;
    std::wstring gameVersion_;
    std::wstring quilletInstallTip_;
    std::wstring textPromotionTitle_;
    std::wstring textPromotionLink_;
    std::wstring cancelDownloadTips_;
    std::deque<PackageFile> parts_;
};
