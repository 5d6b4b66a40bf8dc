// Authored documents read through the platform's own private-profile functions, exactly as
// the program reads its configuration.

#include <gtest/gtest.h>

#include "Author.h"
#include "AuthoredValues.h"
#include "DocumentReaderWin.h"

namespace {

publish::AuthorRequest Package() {
    publish::AuthorRequest request;
    request.baseUrl = L"http://dl.example.com/游戏/";
    for (int i = 0; i < 40; ++i) {
        wchar_t md5[33];
        swprintf(md5, 33, L"%032x", i + 1);
        request.files.push_back(
            {L"C:\\pkg\\第" + std::to_wstring(i) + L"部分.bin", 5000000000ull + i, md5});
    }
    request.seedBases = {L"http://seed.example.net/镜像", L"http://127.0.0.1:8080/s/"};
    ConfigValues& v = request.values;
    v.gameName = L"仙境传说：重生 Online";
    v.newVersion = L"1.1.0.1011";
    v.gameStart = L"第0部分.bin";
    v.gameVersion = L"正式版 2.0";
    v.quilletInstallTip = L"  同时安装 Quillet  ";
    v.textPromotionTitle = L"\"新版本上线\"";
    v.cancelDownloadTips = L"'确定不安装吗？'";
    v.safeCheck = L"1";
    return request;
}

}  // namespace

TEST(AuthorProfile, Utf16DocumentReadsBackThroughThePlatformReader) {
    const publish::AuthorRequest request = Package();
    const publish::AuthorResult result = publish::AuthorDocument(request);
    ASSERT_TRUE(result.refusals.empty());
    ConfigValues read;
    std::wstring missing;
    ASSERT_TRUE(publish::ParseWithProfileFunctions(result.document, &read, &missing))
        << missing.size();
    ExpectReadBackAsAuthored(read, request, L"http://dl.example.com/游戏/第", L"部分.bin");
    EXPECT_EQ(read.seedUrl, L"http://seed.example.net/镜像|http://127.0.0.1:8080/s/");
}

TEST(AuthorProfile, AsciiDocumentWithoutByteOrderMarkReadsBack) {
    publish::AuthorRequest request;
    request.baseUrl = L"http://dl.example.com/g";
    request.files = {{L"C:\\pkg\\setup.exe", 1234, L"0123456789abcdef0123456789abcdef"}};
    request.values.gameName = L"'Demo'";
    request.values.newVersion = L"1.0.0.1";
    request.encoding = publish::DocumentEncoding::kUtf8;
    const publish::AuthorResult result = publish::AuthorDocument(request);
    ASSERT_TRUE(result.refusals.empty());
    ConfigValues read;
    std::wstring missing;
    ASSERT_TRUE(publish::ParseWithProfileFunctions(result.document, &read, &missing));
    ASSERT_EQ(read.parts.size(), 1u);
    EXPECT_EQ(read.parts[0].link, L"http://dl.example.com/g/setup.exe");
    EXPECT_EQ(read.parts[0].size, 1234u);
    EXPECT_EQ(read.gameName, L"'Demo'");
}
