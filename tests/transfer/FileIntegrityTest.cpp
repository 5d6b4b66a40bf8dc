// Fingerprints and the size/MD5 checks of package files.

#include <gtest/gtest.h>

#include <vector>

#include "probes/FileProbes.h"
#include "support/ScratchFolder.h"
#include "transfer/FileIntegrity.h"
#include "transfer/FileSha256.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

std::wstring Fingerprint(const std::wstring& path) {
    Md5Bytes digest;
    if (!FileFingerprint(path.c_str(), &digest)) return L"failed";
    return DigestText(digest);
}

// A signed file's digest covers every byte, across the reader's chunk boundaries; a file with
// nothing to hash has no digest at all.
TEST(FileSha256, CoversTheWholeFileAndFailsWithoutOne) {
    CScratchFolder folder;
    std::vector<uint8_t> bytes = Pattern((4u << 20) + 3);
    std::wstring path = folder / L"signed.bin";
    ASSERT_TRUE(CScratchFolder::Write(path, bytes.data(), bytes.size()));
    Sha256Bytes digest;
    ASSERT_TRUE(FileSha256(path.c_str(), &digest));
    EXPECT_EQ(digest, Sha256Digest(bytes.data(), bytes.size()));
    std::wstring empty = folder / L"empty.bin";
    ASSERT_TRUE(CScratchFolder::Write(empty, bytes.data(), 0));
    EXPECT_FALSE(FileSha256(empty.c_str(), &digest));
    EXPECT_FALSE(FileSha256((folder / L"missing.bin").c_str(), &digest));
}

TEST(FileFingerprint, HashesWholeFilesUpToTheWindowAndTheTailBeyondIt) {
    CScratchFolder folder;
    std::vector<uint8_t> window = Pattern(kFingerprintWindow);
    std::wstring exact = folder / L"exact.bin";
    ASSERT_TRUE(CScratchFolder::Write(exact, window.data(), window.size()));
    std::wstring whole = DigestText(Md5Digest(window.data(), window.size()));
    EXPECT_EQ(Fingerprint(exact), whole);

    // One byte more: the first byte is not covered, so a file that differs only there has the
    // same fingerprint as the exact-window file.
    std::vector<uint8_t> longer(1, 0xA5);
    longer.insert(longer.end(), window.begin(), window.end());
    std::wstring oneMore = folder / L"one-more.bin";
    ASSERT_TRUE(CScratchFolder::Write(oneMore, longer.data(), longer.size()));
    EXPECT_EQ(Fingerprint(oneMore), whole);

    longer[longer.size() - 1] ^= 1;
    ASSERT_TRUE(CScratchFolder::Write(oneMore, longer.data(), longer.size()));
    EXPECT_NE(Fingerprint(oneMore), whole);
}

TEST(FileFingerprint, SmallFileIsHashedWhole) {
    CScratchFolder folder;
    std::wstring path = folder / L"abc.txt";
    ASSERT_TRUE(CScratchFolder::Write(path, std::string("abc")));
    EXPECT_EQ(Fingerprint(path), L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileFingerprint, EmptyAndMissingFilesFailAndNothingIsCreated) {
    CScratchFolder folder;
    std::wstring empty = folder / L"empty.bin";
    ASSERT_TRUE(CScratchFolder::Write(empty, std::string()));
    Md5Bytes digest;
    digest.fill(7);
    EXPECT_FALSE(FileFingerprint(empty.c_str(), &digest));
    EXPECT_EQ(digest, Md5Bytes{});

    std::wstring missing = folder / L"missing.bin";
    EXPECT_FALSE(FileFingerprint(missing.c_str(), &digest));
    EXPECT_FALSE(CScratchFolder::Exists(missing));
    EXPECT_EQ(GetFileSize64(missing.c_str()), 0u);
    EXPECT_FALSE(CScratchFolder::Exists(missing));
}

TEST(CheckFileMd5, MatchesUpperAndLowerCaseTexts) {
    CScratchFolder folder;
    std::wstring path = folder / L"abc.txt";
    ASSERT_TRUE(CScratchFolder::Write(path, std::string("abc")));
    EXPECT_TRUE(CheckFileMd5(path.c_str(), L"900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_TRUE(CheckFileMd5(path.c_str(), L"900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(CheckFileMd5(path.c_str(), L"900150983cd24fb0d6963f7d28e17f73"));
}

TEST(CheckFileMd5, AFileWithoutFingerprintMatchesNothingNotEvenZeros) {
    CScratchFolder folder;
    std::wstring missing = folder / L"missing.bin";
    EXPECT_FALSE(CheckFileMd5(missing.c_str(), std::wstring(32, L'0')));
    EXPECT_FALSE(CScratchFolder::Exists(missing));
}

TEST(CheckPackageFile, CombinesSizeAndMd5AsSafecheckAsks) {
    CScratchFolder folder;
    std::wstring path = folder / L"game.bin";
    ASSERT_TRUE(CScratchFolder::Write(path, std::string("abc")));
    const std::wstring md5 = L"900150983cd24fb0d6963f7d28e17f72";
    const std::wstring wrongMd5 = L"00000000000000000000000000000001";

    EXPECT_TRUE(CheckPackageFile(path.c_str(), 3, md5, L"1"));
    EXPECT_FALSE(CheckPackageFile(path.c_str(), 4, md5, L"1"));  // right MD5, wrong size
    EXPECT_FALSE(CheckPackageFile(path.c_str(), 3, wrongMd5, L"1"));
    EXPECT_TRUE(CheckPackageFile(path.c_str(), 3, wrongMd5, L"0"));  // size alone
    EXPECT_TRUE(CheckPackageFile(path.c_str(), 3, wrongMd5, L""));
    EXPECT_TRUE(CheckPackageFile(path.c_str(), 3, wrongMd5, L"1 "));
    EXPECT_FALSE(CheckPackageFile(path.c_str(), 4, md5, L"0"));
}

TEST(CheckFileSize, MissingAndEmptyFilesFail) {
    CScratchFolder folder;
    std::wstring empty = folder / L"empty.bin";
    ASSERT_TRUE(CScratchFolder::Write(empty, std::string()));
    EXPECT_FALSE(CheckFileSize(empty.c_str(), 0));
    std::wstring missing = folder / L"missing.bin";
    EXPECT_FALSE(CheckFileSize(missing.c_str(), 0));
    EXPECT_FALSE(CScratchFolder::Exists(missing));
}

}  // namespace
