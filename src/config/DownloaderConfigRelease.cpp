// The configuration object's part in signed releases: the detached signature fetched beside
// the document, checked over the document's exact bytes, then the serial against the highest
// one this copy accepted, kept in the package's state file.

#include "config/DownloaderConfig.h"
#include "config/ProfileText.h"
#include "config/StateFile.h"
#include "base/ScopedHandle.h"

namespace {

// A document or a signature larger than this is no document of ours.
constexpr DWORD kLargestSignedFile = 4u << 20;

bool ReadSmallFile(const std::wstring& path, std::string* bytes) {
    CScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        size.QuadPart > kLargestSignedFile) {
        return false;
    }
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    return bytes->empty() ||
           (::ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got,
                       nullptr) &&
            got == bytes->size());
}

}  // namespace

ReleaseVerdict CDownloaderConfig::JudgeFetchedRelease(SignedRelease* release) {
    std::string signature;
    const bool signed_ = FetchSignatureText(&signature);
    std::string document;
    if (!ReadSmallFile(GetDocumentPath(), &document)) return ReleaseVerdict::kBadSignature;
    ReleaseVerdict verdict =
        JudgeSignature(document, signed_ ? &signature : nullptr, site_.publisherKeys);
    if (verdict != ReleaseVerdict::kAccepted) return verdict;
    CStateFile state(StateFilePathFor(TempFolder(), packageId_));
    CProfileKeyReader reader(GetDocumentPath());
    return JudgeReleaseKeys(reader, state.LoadAcceptedSerial(), release);
}

// The signature's address is the document's with ".sig" after it.
bool CDownloaderConfig::FetchSignatureText(std::string* text) {
    const std::wstring path = TempFileName(L".sig");
    bool fetched = Fetch(GetConfigUrl() + L".sig", path, kTagDocument, 0) &&
                   ReadSmallFile(path, text);
    if (!path.empty()) ::DeleteFileW(path.c_str());
    return fetched;
}

// The release is taken: its files carry their hashes, and no older release passes from now
// on. A parsed document whose hash list does not fit its files is refused whole.
bool CDownloaderConfig::AcceptRelease(const SignedRelease& release) {
    if (!AttachFileHashes(release, values_.parts)) {
        releaseVerdict_ = ReleaseVerdict::kNoFileHashes;
        values_.parts.clear();
        return false;
    }
    CStateFile state(StateFilePathFor(TempFolder(), packageId_));
    if (release.serial > state.LoadAcceptedSerial()) state.SaveAcceptedSerial(release.serial);
    return true;
}
