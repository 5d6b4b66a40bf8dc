#include "config/SignedRelease.h"

#include "base/Ed25519.h"
#include "base/Sha256.h"
#include "config/ConfigKeys.h"

using namespace config_keys;

namespace {

std::vector<std::wstring> SplitAtCommas(const std::wstring& list) {
    std::vector<std::wstring> items;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(L',', start);
        items.push_back(list.substr(start, comma - start));
        if (comma == std::wstring::npos) return items;
        start = comma + 1;
    }
}

}  // namespace

ReleaseVerdict JudgeSignature(const std::string& document, const std::string* signatureText,
                              const std::vector<std::string>& publisherKeys) {
    Ed25519Signature signature;
    if (!signatureText || !ParseSignatureText(*signatureText, &signature))
        return ReleaseVerdict::kNoSignature;
    for (const std::string& keyText : publisherKeys) {
        Ed25519PublicKey key;
        if (ParsePublicKeyText(keyText, &key) &&
            VerifyEd25519(key, document.data(), document.size(), signature)) {
            return ReleaseVerdict::kAccepted;
        }
    }
    return ReleaseVerdict::kBadSignature;
}

ReleaseVerdict JudgeReleaseKeys(IConfigKeyReader& reader, uint64_t highestAccepted,
                                SignedRelease* release) {
    if (!ParseReleaseSerial(reader.Read(kGameConfig, kReleaseSerial), &release->serial))
        return ReleaseVerdict::kNoSerial;
    if (release->serial < highestAccepted) return ReleaseVerdict::kReplayed;
    const std::wstring hashes = reader.Read(kGameConfig, kGameSha256);
    if (hashes.empty()) return ReleaseVerdict::kNoFileHashes;
    release->fileHashes = SplitAtCommas(hashes);
    for (const std::wstring& hash : release->fileHashes) {
        Sha256Bytes digest;
        if (!ParseSha256Text(hash, &digest)) return ReleaseVerdict::kNoFileHashes;
    }
    return ReleaseVerdict::kAccepted;
}

bool AttachFileHashes(const SignedRelease& release, std::deque<PackageFile>& parts) {
    if (release.fileHashes.size() != parts.size()) return false;
    for (size_t i = 0; i < parts.size(); ++i) {
        Sha256Bytes digest;
        if (!ParseSha256Text(release.fileHashes[i], &digest)) return false;
        const std::string text = Sha256Text(digest);
        parts[i].extra.assign(text.begin(), text.end());
    }
    return true;
}

bool ParseReleaseSerial(const std::wstring& text, uint64_t* serial) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *serial = value;
    return true;
}

const char* ReleaseVerdictText(ReleaseVerdict verdict) {
    switch (verdict) {
        case ReleaseVerdict::kAccepted: return "accepted";
        case ReleaseVerdict::kNoSignature: return "no signature";
        case ReleaseVerdict::kBadSignature: return "signature not by a publisher key";
        case ReleaseVerdict::kNoSerial: return "no release serial";
        case ReleaseVerdict::kReplayed: return "older release than one accepted before";
        case ReleaseVerdict::kNoFileHashes: return "a file without its SHA-256";
    }
    return "?";
}
