#pragma once
// Signed releases in the publisher's kit: the key pair, the keys a signed document carries
// (its serial and the SHA-256 of every package file), the detached signature beside the
// document, and the check of a published signed release.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Check.h"
#include "base/Ed25519.h"

namespace publish {

using DocumentKeys = std::vector<std::pair<std::wstring, std::wstring>>;

// Writes the secret key to `secretPath` (readable by its owner only; an existing file is
// never replaced) and the public key text to `secretPath` + ".pub".
bool MakeKeyFiles(const std::string& secretPath, std::string* publicText, std::string* error);
bool LoadSecretKey(const std::string& path, Ed25519SecretKey* key, std::string* error);

// ReleaseSerial and GameSha256 for the package files at `paths`, in their order.
bool ReleaseKeysOf(const std::vector<std::string>& paths, uint64_t serial, DocumentKeys* keys,
                   std::string* error);
// A serial for a release made now when none is given: the seconds since 1970, which only grow.
uint64_t SerialForNow();

// The signature's address (a file or a URL) is the document's with ".sig" after it.
std::string SignatureAddressOf(const std::string& document);
std::string SignatureFileText(const Ed25519SecretKey& key, const std::string& document);

// Puts the document's signature beside its staged copy: made with `key` when one is given
// (the document must then carry a serial and its file hashes), otherwise the one written
// beside the document when it was authored, if any. False with `error` set on a refusal.
bool StageSignature(const std::string& document, const std::string& stagedDocument,
                    const Ed25519SecretKey* key, std::string* error);

// Rows for the published release at `documentUrl`, whose bytes `report` holds: with publisher
// keys its signature, then (when the document names them) the serial and the SHA-256 of
// every file as the server sends it.
void CheckSignedRelease(const std::string& documentUrl, const std::vector<std::string>& keys,
                        int timeoutMs, CheckReport& report);

}  // namespace publish
