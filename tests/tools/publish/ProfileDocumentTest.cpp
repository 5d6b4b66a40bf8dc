// The in-memory profile reader follows the platform's rules, and byte forms round-trip.

#include <gtest/gtest.h>

#include "base/TextCodec.h"
#include "config/ProfileDocument.h"

TEST(ProfileDocument, ReadsLikeThePrivateProfileFunctions) {
    CProfileDocument doc(
        L"  [GameConfig]  \r\n"
        L"gamename =  Demo Game  \r\n"
        L"GameName=second key of the name is never read\r\n"
        L"Quoted=\"  kept blanks  \"\r\n"
        L"Single='x'\r\n"
        L"Half=\"x\r\n"
        L"NoValue\r\n"
        L"[downloader]\n"
        L"NewVersion=1.0\n"
        L"[GameConfig]\n"
        L"GameSize=100\n");
    EXPECT_EQ(doc.Read(L"GAMECONFIG", L"GameName"), L"Demo Game");
    EXPECT_EQ(doc.Read(L"GameConfig", L"Quoted"), L"  kept blanks  ");
    EXPECT_EQ(doc.Read(L"GameConfig", L"Single"), L"x");
    EXPECT_EQ(doc.Read(L"GameConfig", L"Half"), L"\"x");
    EXPECT_EQ(doc.Read(L"GameConfig", L"NoValue"), L"");
    EXPECT_EQ(doc.Read(L"DownLoader", L"newversion"), L"1.0");
    // Only the first section of a name is searched.
    EXPECT_EQ(doc.Read(L"GameConfig", L"GameSize"), L"");
    EXPECT_EQ(doc.Read(L"Quillet", L"safecheck"), L"");
}

TEST(ProfileDocument, DecodesEveryByteOrderMarkAndFlagsCodePageText) {
    const std::wstring text = L"[A]\r\nK=游戏 ok 😀\r\n";
    const std::string utf16 = "\xFF\xFE" + Utf16LeFromWide(text);
    DecodedProfile decoded = DecodeProfileBytes(utf16);
    EXPECT_EQ(decoded.encoding, ProfileEncoding::kUtf16Le);
    EXPECT_EQ(decoded.text, text);
    EXPECT_FALSE(decoded.codePageDependent);

    std::string be = "\xFE\xFF";
    const std::string le = Utf16LeFromWide(text);
    for (size_t i = 0; i + 1 < le.size(); i += 2) be += std::string{le[i + 1], le[i]};
    EXPECT_EQ(DecodeProfileBytes(be).text, text);

    decoded = DecodeProfileBytes("\xEF\xBB\xBF" + Utf8FromWide(text));
    EXPECT_EQ(decoded.encoding, ProfileEncoding::kUtf8Bom);
    EXPECT_EQ(decoded.text, text);

    decoded = DecodeProfileBytes(Utf8FromWide(text));
    EXPECT_TRUE(decoded.codePageDependent);
    EXPECT_FALSE(DecodeProfileBytes("[A]\r\nK=plain\r\n").codePageDependent);
}

TEST(ProfileDocument, BrokenUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(WideFromUtf8("a\xC0\xAF"
                           "b\xE6\xB8"),
              L"a\uFFFD\uFFFDb\uFFFD\uFFFD");
}
