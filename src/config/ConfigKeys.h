#pragma once
// The sections and keys of the package's configuration document. The program reads them and
// the publisher's kit writes them; both take the names from here.

namespace config_keys {

constexpr wchar_t kGameConfig[] = L"GameConfig";
constexpr wchar_t kDownLoader[] = L"DownLoader";
constexpr wchar_t kQuillet[] = L"Quillet";

constexpr wchar_t kGameName[] = L"GameName";
constexpr wchar_t kGameSize[] = L"GameSize";
constexpr wchar_t kGameDownloadLink[] = L"GameDownloadLink";
constexpr wchar_t kGameMd5[] = L"GameMd5";
constexpr wchar_t kGameStart[] = L"GameStart";
constexpr wchar_t kSeedUrl[] = L"SeedUrl";
constexpr wchar_t kSkinLink[] = L"SkinLink";
constexpr wchar_t kNewVersion[] = L"NewVersion";
constexpr wchar_t kNewVersionDownloaderLink[] = L"NewVersionDownloaderLink";
constexpr wchar_t kEmbedLink2[] = L"EmbedLink2";
constexpr wchar_t kQuilletDownloaderLink[] = L"QuilletDownloaderLink";
constexpr wchar_t kSafeCheck[] = L"safecheck";
constexpr wchar_t kGameVersion[] = L"GameVersion";
constexpr wchar_t kQuilletInstallTip[] = L"QuilletInstallTip";
constexpr wchar_t kTextPromotionTitle[] = L"TextPromotionTitle";
constexpr wchar_t kTextPromotionLink[] = L"TextPromotionLink";
constexpr wchar_t kCancelDownloadTips[] = L"CancelDownloadTips";

// A signed release's own keys (section GameConfig), which copies without a publisher key
// never read: its serial, a number that only grows from release to release, and the SHA-256
// of every package file, a comma-separated list in the order of GameDownloadLink.
constexpr wchar_t kReleaseSerial[] = L"ReleaseSerial";
constexpr wchar_t kGameSha256[] = L"GameSha256";

}  // namespace config_keys
