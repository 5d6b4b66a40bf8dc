#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/Ed25519.h"
#include "base/Sha256.h"
#include "config/DeploymentValues.h"
#include "config/SignedRelease.h"

namespace {

struct KeyPair {
    Ed25519PublicKey publicKey;
    Ed25519SecretKey secretKey;
    KeyPair() { MakeEd25519KeyPair(&publicKey, &secretKey); }
    std::string Text() const { return PublicKeyText(publicKey); }
    std::string Sign(const std::string& document) const {
        return SignatureText(SignEd25519(secretKey, document.data(), document.size()));
    }
};

class CKeys : public IConfigKeyReader {
public:
    explicit CKeys(std::map<std::wstring, std::wstring> keys) : keys_(std::move(keys)) {}
    std::wstring Read(const wchar_t* section, const wchar_t* key) override {
        auto found = keys_.find(std::wstring(section) + L"/" + key);
        return found == keys_.end() ? std::wstring() : found->second;
    }

private:
    std::map<std::wstring, std::wstring> keys_;
};

const std::wstring kHashA(64, L'a');
const std::wstring kHashB = L"0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef";

}  // namespace

// The signature is over the document's exact bytes, by one of the copy's keys; the second
// key of a copy stamped during a key roll counts as much as the first.
TEST(ReleaseSignature, HoldsOnlyForTheExactBytesAndAKeyOfTheCopy) {
    const KeyPair current, next, stranger;
    const char bytes[] = "\xFF\xFE[\0G\0a\0m\0e\0C\0o\0n\0f\0i\0g\0]\0";
    const std::string document(bytes, sizeof bytes - 1);
    const std::string signature = current.Sign(document);
    std::string altered = document;
    altered[7] ^= 1;
    const std::string unusable = "ed25519:zz";
    struct Case {
        const char* what;
        std::string document;
        const std::string* signature;
        std::vector<std::string> keys;
        ReleaseVerdict verdict;
    } cases[] = {
        {"signed", document, &signature, {current.Text()}, ReleaseVerdict::kAccepted},
        {"second key", document, &signature, {next.Text(), current.Text()}, ReleaseVerdict::kAccepted},
        {"one byte altered", altered, &signature, {current.Text()}, ReleaseVerdict::kBadSignature},
        {"another key", document, &signature, {stranger.Text()}, ReleaseVerdict::kBadSignature},
        {"a key that is no key", document, &signature, {"ed25519:00"}, ReleaseVerdict::kBadSignature},
        {"no signature", document, nullptr, {current.Text()}, ReleaseVerdict::kNoSignature},
        {"no signature text", document, &unusable, {current.Text()}, ReleaseVerdict::kNoSignature},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeSignature(c.document, c.signature, c.keys), c.verdict) << c.what;
    }
    // Another key's signature text says nothing either.
    const std::string foreign = stranger.Sign(document);
    EXPECT_EQ(JudgeSignature(document, &foreign, {current.Text()}), ReleaseVerdict::kBadSignature);
}

// A replayed older release is refused; the same release again is not (a restart fetches it).
TEST(ReleaseKeys, SerialNeverGoesBackAndEveryFileHasItsHash) {
    struct Case {
        const char* what;
        std::wstring serial;
        std::wstring hashes;
        uint64_t highest;
        ReleaseVerdict verdict;
    } cases[] = {
        {"first", L"7", kHashA, 0, ReleaseVerdict::kAccepted},
        {"same again", L"7", kHashA, 7, ReleaseVerdict::kAccepted},
        {"newer", L"8", kHashA + L"," + kHashB, 7, ReleaseVerdict::kAccepted},
        {"older", L"6", kHashA, 7, ReleaseVerdict::kReplayed},
        {"no serial", L"", kHashA, 0, ReleaseVerdict::kNoSerial},
        {"signed serial", L"+8", kHashA, 0, ReleaseVerdict::kNoSerial},
        {"blank", L"8 ", kHashA, 0, ReleaseVerdict::kNoSerial},
        {"overflow", L"18446744073709551616", kHashA, 0, ReleaseVerdict::kNoSerial},
        {"no hashes", L"8", L"", 0, ReleaseVerdict::kNoFileHashes},
        {"short hash", L"8", kHashA.substr(1), 0, ReleaseVerdict::kNoFileHashes},
        {"empty item", L"8", kHashA + L",", 0, ReleaseVerdict::kNoFileHashes},
        {"wide digit", L"8", L"\x0130" + kHashA.substr(1), 0, ReleaseVerdict::kNoFileHashes},
    };
    for (const Case& c : cases) {
        CKeys reader({{L"GameConfig/ReleaseSerial", c.serial}, {L"GameConfig/GameSha256", c.hashes}});
        SignedRelease release;
        EXPECT_EQ(JudgeReleaseKeys(reader, c.highest, &release), c.verdict) << c.what;
    }
    uint64_t serial = 0;
    EXPECT_TRUE(ParseReleaseSerial(L"18446744073709551615", &serial));
    EXPECT_EQ(serial, UINT64_MAX);
}

// Hashes go to the files in order, in one spelling; a list that does not fit is refused.
TEST(ReleaseKeys, HashesAttachOnePerFile) {
    SignedRelease release;
    release.fileHashes = {kHashA, kHashB};
    std::deque<PackageFile> parts(2);
    ASSERT_TRUE(AttachFileHashes(release, parts));
    EXPECT_EQ(parts[0].extra, kHashA);
    EXPECT_EQ(parts[1].extra, L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    std::deque<PackageFile> three(3);
    EXPECT_FALSE(AttachFileHashes(release, three));
    EXPECT_TRUE(three[0].extra.empty());
}

// Streaming in pieces gives the digest of the whole (FIPS 180-2 "abc" and two-block vectors).
TEST(Sha256, KnownDigestsWholeAndInPieces) {
    EXPECT_EQ(Sha256Text(Sha256Digest("abc", 3)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    CSha256 pieces;
    for (char c : message) pieces.Update(&c, 1);
    EXPECT_EQ(Sha256Text(pieces.Final()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// Key texts: what keygen prints, stamps carry and the copy reads; nothing else passes.
TEST(PublisherKeyText, ReadsBackAndRefusesLookalikes) {
    const KeyPair pair;
    Ed25519PublicKey read;
    ASSERT_TRUE(ParsePublicKeyText("  " + pair.Text() + "\r\n", &read));
    EXPECT_EQ(read, pair.publicKey);
    EXPECT_EQ(PublicKeyOf(pair.secretKey), pair.publicKey);
    Ed25519SecretKey secret;
    ASSERT_TRUE(ParseSecretKeyText(SecretKeyText(pair.secretKey), &secret));
    EXPECT_EQ(secret, pair.secretKey);
    for (const std::string& bad : {pair.Text().substr(8), pair.Text() + "0", "ED25519:" + pair.Text().substr(8),
                                   SecretKeyText(pair.secretKey)}) {
        EXPECT_FALSE(ParsePublicKeyText(bad, &read)) << bad;
    }
}

// Up to two keys travel in the stamp as lines older copies pass over; a third is refused.
TEST(PublisherKeyText, DeploymentSlotCarriesTwoKeys) {
    DeploymentValues values;
    values.publisherKeys = {KeyPair().Text(), KeyPair().Text()};
    std::string slot;
    ASSERT_TRUE(FormatDeploymentSlot(values, &slot));
    DeploymentValues read;
    ASSERT_TRUE(ParseDeploymentValues(slot.data(), slot.size(), &read));
    EXPECT_EQ(read.publisherKeys, values.publisherKeys);
    EXPECT_EQ(read.configServer, values.configServer);
    values.publisherKeys.push_back(KeyPair().Text());
    EXPECT_FALSE(FormatDeploymentSlot(values, &slot));
}
