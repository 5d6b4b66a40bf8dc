#include "config/ConfigDocument.h"

#include "config/ConfigKeys.h"
#include "config/PartListSplitter.h"

using namespace config_keys;

namespace {

bool Missing(const wchar_t* key, std::wstring* missingKey) {
    if (missingKey) *missingKey = key;
    return false;
}

}  // namespace

bool ParseConfigDocument(IConfigKeyReader& reader, const std::wstring& homePageUrl,
                         ConfigValues& values, std::wstring* missingKey) {
    values = ConfigValues();
    values.gameName = reader.Read(kGameConfig, kGameName);
    if (values.gameName.empty()) return Missing(kGameName, missingKey);
    const std::wstring sizes = reader.Read(kGameConfig, kGameSize);
    if (sizes.empty()) return Missing(kGameSize, missingKey);
    const std::wstring links = reader.Read(kGameConfig, kGameDownloadLink);
    if (links.empty()) return Missing(kGameDownloadLink, missingKey);
    const std::wstring md5s = reader.Read(kGameConfig, kGameMd5);

    values.parts = SplitPartLists(sizes, links, md5s);
    // A single file is itself what starts; only a package of several names its starter.
    if (values.parts.size() >= 2) {
        values.gameStart = reader.Read(kGameConfig, kGameStart);
        if (values.gameStart.empty()) return Missing(kGameStart, missingKey);
    }

    values.seedUrl = reader.Read(kGameConfig, kSeedUrl);
    values.skinLink = reader.Read(kDownLoader, kSkinLink);
    values.newVersion = reader.Read(kDownLoader, kNewVersion);
    if (values.newVersion.empty()) return Missing(kNewVersion, missingKey);
    values.newVersionDownloaderLink = reader.Read(kDownLoader, kNewVersionDownloaderLink);
    if (values.newVersionDownloaderLink.empty()) values.newVersionDownloaderLink = homePageUrl;

    values.embedLink2 = reader.Read(kDownLoader, kEmbedLink2);
    values.quilletDownloaderLink = reader.Read(kQuillet, kQuilletDownloaderLink);
    values.safeCheck = reader.Read(kQuillet, kSafeCheck);
    values.gameVersion = reader.Read(kGameConfig, kGameVersion);
    values.quilletInstallTip = reader.Read(kDownLoader, kQuilletInstallTip);
    values.textPromotionTitle = reader.Read(kDownLoader, kTextPromotionTitle);
    values.textPromotionLink = reader.Read(kDownLoader, kTextPromotionLink);
    values.cancelDownloadTips = reader.Read(kQuillet, kCancelDownloadTips);
    return true;
}
