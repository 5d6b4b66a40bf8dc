// MD5 against the test suite of RFC 1321, chunked updates, and the text comparison rule.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Md5.h"
#include "identity/ClientIdentity.h"

namespace {

std::wstring Md5Text(const std::string& message) {
    return DigestText(Md5Digest(message.data(), message.size()));
}

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(Md5Text(""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Text("a"), L"0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Text("abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Text("message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Text("abcdefghijklmnopqrstuvwxyz"), L"c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Text("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              L"d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Text("1234567890123456789012345678901234567890123456789012345678901234567890"
                      "1234567890"),
              L"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, ChunkedUpdatesGiveTheSameDigest) {
    std::vector<uint8_t> data(100003);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 7));
    Md5Bytes whole = Md5Digest(data.data(), data.size());
    for (size_t chunk : {1, 55, 56, 63, 64, 65, 4096, 65537}) {
        CMd5 md5;
        for (size_t pos = 0; pos < data.size(); pos += chunk)
            md5.Update(data.data() + pos, std::min(chunk, data.size() - pos));
        EXPECT_EQ(md5.Final(), whole) << "chunk " << chunk;
    }
}

TEST(Md5, DigestTextsCompareWithoutRegardToCase) {
    EXPECT_TRUE(
        DigestTextsMatch(L"900150983cd24fb0d6963f7d28e17f72", L"900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(
        DigestTextsMatch(L"900150983cd24fb0d6963f7d28e17f72", L"900150983cd24fb0d6963f7d28e17f73"));
    EXPECT_FALSE(
        DigestTextsMatch(L"900150983cd24fb0d6963f7d28e17f72", L"900150983cd24fb0d6963f7d28e17f7"));
    EXPECT_FALSE(DigestTextsMatch(L"900150983cd24fb0d6963f7d28e17f72", L""));
}

TEST(ClientIdentity, IsAStableHashNotTheMachineValue) {
    std::wstring guid = L"1f2e3d4c-5b6a-4789-8a9b-0c1d2e3f4a5b";
    std::wstring id = ClientIdFromMachineValue(guid);
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    EXPECT_EQ(id, ClientIdFromMachineValue(L"1F2E3D4C-5B6A-4789-8A9B-0C1D2E3F4A5B"));
    EXPECT_NE(id, ClientIdFromMachineValue(L"1f2e3d4c-5b6a-4789-8a9b-0c1d2e3f4a5c"));
    EXPECT_TRUE(ClientIdFromMachineValue(L"").empty());
}

}  // namespace
