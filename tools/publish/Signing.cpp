#include "Signing.h"

#include <ctime>
#include <fstream>

#include "LocalFiles.h"
#include "RoutedFetch.h"
#include "base/Sha256.h"
#include "base/TextCodec.h"
#include "config/ConfigKeys.h"
#include "config/ProfileDocument.h"
#include "config/SignedRelease.h"
#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace publish {
namespace {

constexpr size_t kLargestSignature = 4096;
constexpr size_t kHashChunk = 4u << 20;

#ifdef _WIN32
// A protected DACL that gives the running user full access and nobody else anything (no
// inherited entries). Named by the user's own SID: the owner-rights SID is not understood
// everywhere (Wine maps it to no access at all).
std::wstring OwnerOnlyDescriptorText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
    std::wstring text;
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        text = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}
#endif

// Created new, never over an existing file, and readable by its owner only.
bool WriteOwnerOnly(const std::string& path, const std::string& text) {
#ifdef _WIN32
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring descriptorText = OwnerOnlyDescriptorText();
    if (descriptorText.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            descriptorText.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE file = CreateFileW(PathOf(path).c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    ok = CloseHandle(file) && ok;
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = close(fd) == 0 && ok;
#endif
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool HashLocalFile(const std::string& path, Sha256Bytes* digest) {
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) return false;
    std::string chunk(kHashChunk, '\0');
    CSha256 hash;
    while (in) {
        in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
        hash.Update(chunk.data(), static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) return false;
    *digest = hash.Final();
    return true;
}

std::wstring W(const std::string& text) { return WideFromUtf8(text); }

CheckRow& AddRow(CheckReport& report, const std::string& item, const std::string& url) {
    report.rows.push_back(CheckRow{item, url, "", "", "", "", ""});
    return report.rows.back();
}

bool FetchSignature(const std::string& url, int timeoutMs, CheckReport& report,
                    std::string* text) {
    FetchRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    request.userAgent = kProgramUserAgent;
    const RoutedResult routed = FetchFollowing(request, [&](const char* data, size_t size) {
        text->append(data, size);
        return text->size() <= kLargestSignature;
    });
    report.wireBytes += routed.fetched.wireBytes;
    return routed.problem.empty() && routed.fetched.connected &&
           routed.fetched.head.status == 200 && text->size() <= kLargestSignature;
}

// The whole file as the engine would fetch it, hashed as it arrives.
void CheckFileHash(CheckRow& row, const std::wstring& expected, int timeoutMs,
                   CheckReport& report) {
    FetchRequest request;
    request.url = row.url;
    request.timeoutMs = timeoutMs;
    CSha256 hash;
    uint64_t bytes = 0;
    const RoutedResult routed = FetchFollowing(request, [&](const char* data, size_t size) {
        hash.Update(data, size);
        bytes += size;
        return true;
    });
    report.wireBytes += routed.fetched.wireBytes;
    row.size = std::to_string(bytes);
    if (!routed.problem.empty() || !routed.fetched.connected ||
        routed.fetched.head.status != 200 || !routed.fetched.bodyComplete) {
        row.problem = routed.problem.empty() ? StatusProblem(routed.fetched) : routed.problem;
        if (row.problem.empty()) row.problem = "the body ended early";
        return;
    }
    const std::string got = Sha256Text(hash.Final());
    row.md5 = "sha " + got.substr(0, 8);  // fits the column
    if (W(got) != expected) row.problem = "SHA-256 " + got + " is not the signed one";
}

}  // namespace

bool MakeKeyFiles(const std::string& secretPath, std::string* publicText, std::string* error) {
    Ed25519PublicKey publicKey;
    Ed25519SecretKey secretKey;
    if (!MakeEd25519KeyPair(&publicKey, &secretKey)) {
        *error = "no source of randomness";
        return false;
    }
    if (!WriteOwnerOnly(secretPath, SecretKeyText(secretKey) + "\n")) {
        *error = "cannot create " + secretPath + " (an existing key is never replaced)";
        return false;
    }
    *publicText = PublicKeyText(publicKey);
    if (!WriteFileAtomically(secretPath + ".pub", *publicText + "\n")) {
        *error = "cannot write " + secretPath + ".pub";
        return false;
    }
    return true;
}

bool LoadSecretKey(const std::string& path, Ed25519SecretKey* key, std::string* error) {
    std::string text;
    if (!ReadWholeFile(path, &text) || !ParseSecretKeyText(text, key)) {
        *error = "not a secret key file made by keygen: " + path;
        return false;
    }
    return true;
}

bool ReleaseKeysOf(const std::vector<std::string>& paths, uint64_t serial, DocumentKeys* keys,
                   std::string* error) {
    std::wstring hashes;
    for (const std::string& path : paths) {
        Sha256Bytes digest;
        if (!HashLocalFile(path, &digest)) {
            *error = "cannot read " + path;
            return false;
        }
        if (!hashes.empty()) hashes += L",";
        hashes += W(Sha256Text(digest));
    }
    keys->assign({{config_keys::kReleaseSerial, std::to_wstring(serial)},
                  {config_keys::kGameSha256, hashes}});
    return true;
}

uint64_t SerialForNow() { return static_cast<uint64_t>(std::time(nullptr)); }

std::string SignatureAddressOf(const std::string& document) { return document + ".sig"; }

std::string SignatureFileText(const Ed25519SecretKey& key, const std::string& document) {
    return SignatureText(SignEd25519(key, document.data(), document.size())) + "\n";
}

bool StageSignature(const std::string& document, const std::string& stagedDocument,
                    const Ed25519SecretKey* key, std::string* error) {
    const std::string target = SignatureAddressOf(stagedDocument);
    std::remove(target.c_str());  // a signature of an earlier document must not linger
    if (key == nullptr) {
        const std::string authored = SignatureAddressOf(document);
        std::error_code code;
        if (!std::filesystem::exists(PathOf(authored), code)) return true;
        return PlaceFile(authored, target, error);
    }
    std::string bytes;
    if (!ReadWholeFile(document, &bytes)) {
        *error = "cannot read " + document;
        return false;
    }
    CProfileDocument reader(DecodeProfileBytes(bytes).text);
    SignedRelease release;
    if (JudgeReleaseKeys(reader, 0, &release) != ReleaseVerdict::kAccepted) {
        *error = document + " has no release serial or file hashes (author it with --sign)";
        return false;
    }
    if (!WriteFileAtomically(target, SignatureFileText(*key, bytes))) {
        *error = "cannot write " + target;
        return false;
    }
    return true;
}

void CheckSignedRelease(const std::string& documentUrl, const std::vector<std::string>& keys,
                        int timeoutMs, CheckReport& report) {
    if (report.rows.empty() || !report.rows.front().problem.empty()) return;
    const std::string& document = report.document;
    if (!keys.empty()) {
        CheckRow& row = AddRow(report, "signature", SignatureAddressOf(documentUrl));
        std::string text;
        const bool fetched = FetchSignature(row.url, timeoutMs, report, &text);
        const ReleaseVerdict verdict = JudgeSignature(document, fetched ? &text : nullptr, keys);
        row.md5 = fetched ? "ed25519" : "";
        if (verdict != ReleaseVerdict::kAccepted) row.problem = ReleaseVerdictText(verdict);
    }
    CProfileDocument reader(DecodeProfileBytes(document).text);
    if (reader.Read(config_keys::kGameConfig, config_keys::kGameSha256).empty() && keys.empty())
        return;  // an unsigned release, checked as ever
    CheckRow& release = AddRow(report, "release", documentUrl);
    SignedRelease claims;
    const ReleaseVerdict verdict = JudgeReleaseKeys(reader, 0, &claims);
    if (verdict != ReleaseVerdict::kAccepted) {
        release.problem = ReleaseVerdictText(verdict);
        return;
    }
    release.md5 = "serial " + std::to_string(claims.serial);
    std::deque<PackageFile> parts = report.values.parts;
    if (!AttachFileHashes(claims, parts)) {
        release.problem = "GameSha256 does not list one hash per file";
        return;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        CheckRow& row = AddRow(report, "sha256 " + std::to_string(i + 1), Utf8FromWide(parts[i].link));
        CheckFileHash(row, parts[i].extra, timeoutMs, report);
    }
}

}  // namespace publish
