// Authoring a configuration document and reading it back with the program's own rules.

#include <gtest/gtest.h>

#include "Author.h"
#include "AuthoredValues.h"
#include "config/ProfileDocument.h"

namespace {

using publish::AuthorDocument;
using publish::AuthorRequest;
using publish::AuthorResult;
using publish::DocumentEncoding;
using publish::PackageInput;

constexpr wchar_t kMd5A[] = L"0123456789abcdef0123456789abcdef";

PackageInput File(const std::wstring& path, uint64_t size = 1000, const std::wstring& md5 = kMd5A) {
    return PackageInput{path, size, md5};
}

AuthorRequest OneFile() {
    AuthorRequest request;
    request.baseUrl = L"http://dl.example.com/games/demo/";
    request.files = {File(L"/tmp/files/setup.exe")};
    request.values.gameName = L"Demo";
    request.values.newVersion = L"1.1.0.1011";
    return request;
}

ConfigValues ReadAsProgram(const std::string& document) {
    CProfileDocument reader(DecodeProfileBytes(document).text);
    ConfigValues values;
    EXPECT_TRUE(ParseConfigDocument(reader, L"http://home.example.com/", values));
    return values;
}

bool RefusedFor(const AuthorRequest& request, const std::wstring& words) {
    AuthorResult result = AuthorDocument(request);
    EXPECT_TRUE(result.document.empty());
    for (const std::wstring& why : result.refusals) {
        if (why.find(words) != std::wstring::npos) return true;
    }
    ADD_FAILURE() << "no refusal mentions the expected words; refusals: " << result.refusals.size();
    return false;
}

}  // namespace

TEST(Author, ChineseTextsManyFilesAndSeedsReadBackExactly) {
    AuthorRequest request = OneFile();
    request.files.clear();
    for (int i = 0; i < 120; ++i) {
        wchar_t md5[33];
        swprintf(md5, 33, L"%032x", i * 7919 + 1);
        request.files.push_back(File(L"/pkg/游戏_第" + std::to_wstring(i) + L"部分.bin",
                                     1000000ull * (i + 1) + 1, md5));
    }
    request.seedBases = {L"http://seed1.example.net/mirror", L"http://seed2.example.net:8080/f/"};
    ConfigValues& v = request.values;
    v.gameName = L"仙境传说：重生";
    v.gameVersion = L"2.0 正式版";
    v.gameStart = L"游戏_第0部分.bin";
    v.quilletInstallTip = L"同时安装 Quillet 安全卫士";
    v.textPromotionTitle = L"  前后有空格  ";
    v.textPromotionLink = L"\"引号包围\"";
    v.cancelDownloadTips = L"'单引号'";
    v.embedLink2 = L"http://www.example.com/page?a=1&b=2";
    v.skinLink = L"http://dl.example.com/skin.png";
    v.quilletDownloaderLink = L"http://dl.example.com/QuilletSetup.exe";
    v.safeCheck = L"1";

    AuthorResult result = AuthorDocument(request);
    ASSERT_TRUE(result.refusals.empty());
    ASSERT_EQ(result.document.substr(0, 2), "\xFF\xFE");
    ConfigValues read = ReadAsProgram(result.document);
    ASSERT_EQ(read.parts.size(), 120u);
    ExpectReadBackAsAuthored(read, request, L"http://dl.example.com/games/demo/游戏_第",
                             L"部分.bin");
    EXPECT_EQ(read.seedUrl, L"http://seed1.example.net/mirror|http://seed2.example.net:8080/f/");
    EXPECT_EQ(read.newVersionDownloaderLink, L"http://home.example.com/");
}

TEST(Author, AsciiPackageMayBeWrittenWithoutByteOrderMark) {
    AuthorRequest request = OneFile();
    request.encoding = DocumentEncoding::kUtf8;
    AuthorResult result = AuthorDocument(request);
    ASSERT_TRUE(result.refusals.empty());
    EXPECT_EQ(result.document.find("[GameConfig]\r\nGameName=Demo\r\n"), 0u);
    ConfigValues read = ReadAsProgram(result.document);
    ASSERT_EQ(read.parts.size(), 1u);
    EXPECT_EQ(read.parts[0].link, L"http://dl.example.com/games/demo/setup.exe");
    EXPECT_TRUE(read.gameStart.empty());  // one file starts itself
}

TEST(Author, RefusesWhatTheProgramWouldMisread) {
    AuthorRequest request = OneFile();
    request.values.gameName = L"第一行\r\n[Quillet]";
    EXPECT_TRUE(RefusedFor(request, L"line break"));

    request = OneFile();
    request.values.cancelDownloadTips = L"a\nb";
    EXPECT_TRUE(RefusedFor(request, L"CancelDownloadTips"));

    request = OneFile();
    request.files = {File(L"/f/a,b.exe")};
    EXPECT_TRUE(RefusedFor(request, L"\",\""));

    request = OneFile();
    request.baseUrl = L"http://dl.example.com/a,b/";
    EXPECT_TRUE(RefusedFor(request, L"download base address"));

    request = OneFile();
    request.files = {File(L"/f/setup.exe", 1000, L"0123,456")};
    EXPECT_TRUE(RefusedFor(request, L"MD5 text holds a comma"));

    request = OneFile();
    request.files = {File(L"/f/setup.exe"), File(L"/f/data.bin")};
    EXPECT_TRUE(RefusedFor(request, L"GameStart"));

    request = OneFile();
    request.files = {File(L"/f/setup.exe", 0)};
    EXPECT_TRUE(RefusedFor(request, L"empty"));

    request = OneFile();
    request.files = {File(L"/f/Setup.exe"), File(L"/g/setup.EXE")};
    request.values.gameStart = L"Setup.exe";
    EXPECT_TRUE(RefusedFor(request, L"two files"));

    request = OneFile();
    request.values.gameName = L"游戏";
    request.encoding = DocumentEncoding::kUtf8;
    EXPECT_TRUE(RefusedFor(request, L"UTF-16"));

    request = OneFile();
    request.baseUrl = L"https://dl.example.com/games";
    EXPECT_TRUE(RefusedFor(request, L"plain http://"));

    request = OneFile();
    request.values.skinLink = L"https://dl.example.com/skin.png";
    EXPECT_TRUE(RefusedFor(request, L"SkinLink"));

    request = OneFile();
    request.seedBases = {L"http://a.example.net/x|http://b.example.net/"};
    EXPECT_TRUE(RefusedFor(request, L"seed"));

    request = OneFile();
    request.values.newVersion.clear();
    EXPECT_TRUE(RefusedFor(request, L"NewVersion"));
}

TEST(Author, RefusesFileNamesTheProgramCannotUse) {
    for (const wchar_t* name :
         {L"a b.exe", L"100%.exe", L"a#b.exe", L"a?b.exe", L"a:b.exe", L"a*b.exe", L"a\"b.exe",
          L"a<b.exe", L"a|b.exe", L"setup.", L"CON", L"nul.txt", L"com1.bin", L"..", L"a\tb"}) {
        AuthorRequest request = OneFile();
        request.files = {File(std::wstring(L"/f/") + name)};
        EXPECT_TRUE(RefusedFor(request, L"file name")) << "accepted a bad name";
    }
    AuthorRequest request = OneFile();
    request.files = {File(L"/f/" + std::wstring(201, L'x'))};
    EXPECT_TRUE(RefusedFor(request, L"longer than 200"));
}

TEST(Author, WarnsAboutAStartFileOutsideThePackage) {
    AuthorRequest request = OneFile();
    request.files = {File(L"/f/a.bin"), File(L"/f/b.bin")};
    request.values.gameStart = L"setup.exe";
    AuthorResult result = AuthorDocument(request);
    EXPECT_TRUE(result.refusals.empty());
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(ReadAsProgram(result.document).gameStart, L"setup.exe");
}
