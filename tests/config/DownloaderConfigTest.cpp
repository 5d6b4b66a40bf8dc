// The configuration object against the local test server: fetch, parse, skin image cache.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/DownloaderConfig.h"
#include "server/TestServerClient.h"
#include "server/TestTempFolder.h"

namespace {

const std::wstring kPackageId = L"{CBF64884-192F-484C-8741-9223167E5D6B}";
const std::string kDocumentPath =
    "/publish/tool/muldown/{CBF64884-192F-484C-8741-9223167E5D6B}.html";
const std::wstring kHomePage = L"http://www.home.test/";

struct TaggedStatus {
    int state;
    int tag;
};

class RecordingInitCallback : public CDownloaderConfig::IConfigInitCallback {
public:
    int OnInitStatus(DWORD, DWORD, int state, int tag) override {
        seen.push_back({state, tag});
        return 0;
    }
    int CountTag(int tag) const {
        int count = 0;
        for (const TaggedStatus& s : seen) count += s.tag == tag;
        return count;
    }
    std::vector<TaggedStatus> seen;
};

std::string Utf16Document(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

class DownloaderConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.IsAvailable()) << "run through tests/server/with_server.sh";
        server.ClearFaults();
        server.ClearLog();
        config.reset(
            new CDownloaderConfig(ConfigSite{kPackageId, server.Host(), kHomePage, temp.Path()}));
    }
    void Serve(const std::string& document) {
        ASSERT_TRUE(server.PutFile(kDocumentPath, document));
    }
    std::string MinimalDocument(const std::string& extra = std::string()) {
        return "[GameConfig]\r\nGameName=Test\r\nGameSize=100\r\nGameDownloadLink=http://h/"
               "a.exe\r\n" +
               extra + "[DownLoader]\r\nNewVersion=1.1.0.1011\r\n";
    }
    std::string SkinUrl() const {
        std::wstring url = server.Url(L"/skin.png");
        return std::string(url.begin(), url.end());
    }

    CTestServer server;
    CTestTempFolder temp;
    std::unique_ptr<CDownloaderConfig> config;
    RecordingInitCallback callback;
};

}  // namespace

TEST_F(DownloaderConfigTest, NamesAreBuiltFromIdentifierAndFolder) {
    EXPECT_EQ(config->GetConfigUrl(),
              L"http://" + server.Host() + L"/publish/tool/muldown/" + kPackageId + L".html");
    EXPECT_EQ(config->GetDocumentPath(), temp.Path() + kPackageId + L".cfg");
    EXPECT_EQ(config->GetEngineModulePath(), temp.Path() + kPackageId + L"VexaP2SP.dll");
    EXPECT_EQ(config->GetVerifyModulePath(), temp.Path() + kPackageId + L"Vexaverify.dll");
    EXPECT_TRUE(config->GetSkinImagePath().empty());
}

TEST_F(DownloaderConfigTest, OneRecordWithoutSkinIsReady) {
    Serve(MinimalDocument());
    EXPECT_EQ(config->Init(&callback), kConfigReady);
    auto parts = config->GetParts();
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].size, 100u);
    EXPECT_EQ(parts[0].link, L"http://h/a.exe");
    EXPECT_TRUE(parts[0].md5.empty());
    EXPECT_EQ(config->GetGameName(), L"Test");
    EXPECT_EQ(config->GetNewVersion(), L"1.1.0.1011");
    EXPECT_EQ(config->GetNewVersionDownloaderLink(), kHomePage);
    EXPECT_TRUE(config->GetSkinImagePath().empty());
    EXPECT_GT(callback.CountTag(kTagDocument), 0);
    EXPECT_EQ(callback.CountTag(kTagSkinImage), 0);
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));
}

TEST_F(DownloaderConfigTest, TwoRecordsWithoutGameStartMissKey) {
    Serve(
        "[GameConfig]\r\nGameName=T\r\nGameSize=100,200\r\nGameDownloadLink=a,b\r\n"
        "[DownLoader]\r\nNewVersion=1.0.0.1\r\n");
    EXPECT_EQ(config->Init(nullptr), kConfigKeyMissing);
    EXPECT_EQ(config->GetParts().size(), 2u);  // kept as far as it was built
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));
}

TEST_F(DownloaderConfigTest, RetryAfterMissingKeyListsEachPartOnce) {
    Serve(
        "[GameConfig]\r\nGameName=T\r\nGameSize=1,2\r\nGameDownloadLink=a,b\r\n"
        "[DownLoader]\r\nNewVersion=1.0.0.1\r\n");
    ASSERT_EQ(config->Init(nullptr), kConfigKeyMissing);
    Serve(
        "[GameConfig]\r\nGameName=T\r\nGameSize=1,2\r\nGameDownloadLink=a,b\r\n"
        "GameStart=a\r\n[DownLoader]\r\nNewVersion=1.0.0.1\r\n");
    ASSERT_EQ(config->Init(nullptr), kConfigReady);
    EXPECT_EQ(config->GetParts().size(), 2u);
}

TEST_F(DownloaderConfigTest, EveryKeyIsReadIntoItsGetter) {
    Serve(
        "[GameConfig]\r\nGameName=G\r\nGameSize=1,2,3\r\nGameDownloadLink=a,b\r\n"
        "GameMd5=m1,m2,m3\r\nGameStart=setup.exe\r\nSeedUrl=seed\r\nGameVersion=2.0\r\n"
        "[DownLoader]\r\nNewVersion=1.0.0.2\r\nNewVersionDownloaderLink=http://nv/\r\n"
        "EmbedLink2=http://embed/\r\nQuilletInstallTip=tip\r\nTextPromotionTitle=title\r\n"
        "TextPromotionLink=http://promo/\r\n"
        "[Quillet]\r\nQuilletDownloaderLink=http://q/"
        "\r\nsafecheck=1\r\nCancelDownloadTips=sure?\r\n");
    ASSERT_EQ(config->Init(nullptr), kConfigReady);
    auto parts = config->GetParts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].link, L"");
    EXPECT_EQ(parts[2].link, L"b");
    EXPECT_EQ(parts[2].md5, L"m3");
    EXPECT_EQ(config->GetGameStart(), L"setup.exe");
    EXPECT_EQ(config->GetSeedUrl(), L"seed");
    EXPECT_EQ(config->GetGameVersion(), L"2.0");
    EXPECT_EQ(config->GetNewVersionDownloaderLink(), L"http://nv/");
    EXPECT_EQ(config->GetEmbedLink2(), L"http://embed/");
    EXPECT_EQ(config->GetQuilletInstallTip(), L"tip");
    EXPECT_EQ(config->GetTextPromotionTitle(), L"title");
    EXPECT_EQ(config->GetTextPromotionLink(), L"http://promo/");
    EXPECT_EQ(config->GetQuilletDownloaderLink(), L"http://q/");
    EXPECT_EQ(config->GetSafeCheck(), L"1");
    EXPECT_EQ(config->GetCancelDownloadTips(), L"sure?");
}

TEST_F(DownloaderConfigTest, MissingNewVersionMissesKey) {
    Serve("[GameConfig]\r\nGameName=T\r\nGameSize=1\r\nGameDownloadLink=a\r\n");
    EXPECT_EQ(config->Init(nullptr), kConfigKeyMissing);
}

TEST_F(DownloaderConfigTest, UnicodeDocumentKeepsChineseTexts) {
    Serve(
        Utf16Document(L"[GameConfig]\r\nGameName=星海传说\r\nGameSize=5\r\nGameDownloadLink=a\r\n"
                      L"[DownLoader]\r\nNewVersion=1.0.0.1\r\n"));
    ASSERT_EQ(config->Init(nullptr), kConfigReady);
    EXPECT_EQ(config->GetGameName(), L"星海传说");
}

TEST_F(DownloaderConfigTest, LongValuesAndLinksArriveWhole) {
    std::string sizes, links;
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        std::string link = "http://mirror.test/" +
                           std::string(300, static_cast<char>('a' + i % 26)) + "/part" +
                           std::to_string(i) + ".bin";
        expected.push_back(link);
        sizes += (i ? "," : "") + std::to_string(1000 + i);
        links += (i ? "," : "") + link;
    }
    ASSERT_GT(links.size(), 4096u);
    Serve("[GameConfig]\r\nGameName=Long\r\nGameSize=" + sizes + "\r\nGameDownloadLink=" + links +
          "\r\nGameStart=part0.bin\r\n[DownLoader]\r\nNewVersion=1.0.0.1\r\n");
    ASSERT_EQ(config->Init(nullptr), kConfigReady);
    auto parts = config->GetParts();
    ASSERT_EQ(parts.size(), 40u);
    for (size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].link, std::wstring(expected[i].begin(), expected[i].end()));
        EXPECT_EQ(parts[i].size, 1000u + i);
    }
}

TEST_F(DownloaderConfigTest, UnfetchableDocumentFailsWithoutSkinRequest) {
    Serve(MinimalDocument("") + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.SetFault(kDocumentPath, "status", "code=404"));
    EXPECT_EQ(config->Init(nullptr), kConfigFetchFailed);
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));
    EXPECT_TRUE(server.LogFor("/skin.png").empty());
}

TEST_F(DownloaderConfigTest, CutOffDocumentIsNotParsed) {
    std::string document = MinimalDocument();
    Serve(document);
    ASSERT_TRUE(server.SetFault(kDocumentPath, "cut", "at=" + std::to_string(document.size() - 5)));
    EXPECT_EQ(config->Init(nullptr), kConfigFetchFailed);
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));
}

TEST_F(DownloaderConfigTest, SkinImageIsFetchedWithItsTag) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.PutFile("/skin.png", std::string(3000, 'p')));
    EXPECT_EQ(config->Init(&callback), kConfigReady);
    EXPECT_EQ(config->GetSkinImagePath(), temp.Path() + kPackageId + L".png");
    EXPECT_EQ(CTestTempFolder::SizeOf(config->GetSkinImagePath()), 3000);
    EXPECT_GT(callback.CountTag(kTagSkinImage), 0);
    EXPECT_EQ(callback.seen.back().tag, kTagSkinImage);
}

TEST_F(DownloaderConfigTest, CutOffSkinImageFailsAndLeavesNoFile) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.PutFile("/skin.png", std::string(3000, 'p')));
    ASSERT_TRUE(server.SetFault("/skin.png", "cut", "at=1000"));
    EXPECT_EQ(config->Init(nullptr), kConfigSkinFailed);
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetSkinImagePath()));
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetSkinImagePath() + L".part"));
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));
}

// A program that ends while the skin image arrives must not leave a file behind that the
// next start would take from the cache for two days.
TEST_F(DownloaderConfigTest, SkinImageTakesItsNameOnlyOnceWhole) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.PutFile("/skin.png", std::string(3000, 'p')));
    // Held back long enough for a busy machine to look while it is on the way.
    ASSERT_TRUE(server.SetFault("/skin.png", "delay", "ms=4000"));
    std::wstring cached = temp.Path() + kPackageId + L".png";
    int result = -1;
    std::thread init([&] { result = config->Init(nullptr); });
    for (int i = 0; i < 3000 && server.LogFor("/skin.png").empty(); ++i) ::Sleep(20);
    ::Sleep(200);  // the request is out, its answer held back
    EXPECT_FALSE(CTestTempFolder::Exists(cached));
    init.join();
    EXPECT_EQ(result, kConfigReady);
    EXPECT_EQ(CTestTempFolder::SizeOf(cached), 3000);
    EXPECT_FALSE(CTestTempFolder::Exists(cached + L".part"));
}

TEST_F(DownloaderConfigTest, FreshSkinImageIsReusedWithoutRequest) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    std::wstring cached = temp.Path() + kPackageId + L".png";
    HANDLE file =
        ::CreateFileW(cached.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    EXPECT_EQ(config->Init(nullptr), kConfigReady);
    EXPECT_TRUE(server.LogFor("/skin.png").empty());
    EXPECT_TRUE(CTestTempFolder::Exists(cached));
}

TEST_F(DownloaderConfigTest, SkinImageOlderThanTwoDaysIsFetchedAgain) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.PutFile("/skin.png", "new skin"));
    std::wstring cached = temp.Path() + kPackageId + L".png";
    HANDLE file =
        ::CreateFileW(cached.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER old;
    old.LowPart = now.dwLowDateTime;
    old.HighPart = now.dwHighDateTime;
    old.QuadPart -= (CDownloaderConfig::kSkinCacheSeconds + 60) * 10000000ULL;
    FILETIME written = {old.LowPart, old.HighPart};
    ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &written));
    ::CloseHandle(file);
    EXPECT_EQ(config->Init(nullptr), kConfigReady);
    EXPECT_EQ(server.LogFor("/skin.png").size(), 1u);
    EXPECT_EQ(CTestTempFolder::Read(cached), "new skin");
}

namespace {

// Cancels the configuration's start-up at the skin image's first progress report.
class CancelAtSkinCallback : public CDownloaderConfig::IConfigInitCallback {
public:
    explicit CancelAtSkinCallback(CDownloaderConfig* config) : config_(config) {}
    int OnInitStatus(DWORD, DWORD, int state, int tag) override {
        if (state == kHttpStateProgress && tag == kTagSkinImage) {
            std::thread([this] { config_->CancelInit(); }).join();  // from another thread
            ++cancels;
        }
        return 0;
    }
    int cancels = 0;

private:
    CDownloaderConfig* config_;
};

}  // namespace

// A program closing while its skin image trickles in: the start-up ends at once, keeps no
// part of the image (the next start would take it from the cache for two days) and no
// document, and fetches nothing more afterwards.
TEST_F(DownloaderConfigTest, CancelledStartUpKeepsNothingHalfFetched) {
    Serve(MinimalDocument() + "SkinLink=" + SkinUrl() + "\r\n");
    ASSERT_TRUE(server.PutFile("/skin.png", std::string(2000000, 'p')));
    ASSERT_TRUE(server.SetFault("/skin.png", "slow", "rate=8000"));  // over four minutes
    CancelAtSkinCallback cancelling(config.get());
    EXPECT_EQ(config->Init(&cancelling), kConfigSkinFailed);
    EXPECT_EQ(cancelling.cancels, 1);
    std::wstring cached = temp.Path() + kPackageId + L".png";
    EXPECT_FALSE(CTestTempFolder::Exists(cached));
    EXPECT_FALSE(CTestTempFolder::Exists(cached + L".part"));
    EXPECT_FALSE(CTestTempFolder::Exists(config->GetDocumentPath()));

    size_t requests = server.Log().size();
    EXPECT_EQ(config->Init(nullptr), kConfigFetchFailed);
    EXPECT_EQ(server.Log().size(), requests);
}
