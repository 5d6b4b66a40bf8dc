#pragma once
// What a copy stamped with publisher keys accepts as its package's release: a document whose
// exact bytes carry a signature by one of those keys, whose serial is not lower than the
// highest this copy has accepted before (an older release replayed by a mirror or a proxy
// is refused), and which names every package file by its SHA-256.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "config/ConfigDocument.h"
#include "config/PackageFile.h"

enum class ReleaseVerdict {
    kAccepted,
    kNoSignature,   // none could be fetched, or it is no signature text
    kBadSignature,  // not by any of the copy's keys over these bytes
    kNoSerial,      // the signed document has no readable serial
    kReplayed,      // its serial is lower than one accepted before
    kNoFileHashes,  // a package file without a readable SHA-256
};

struct SignedRelease {
    uint64_t serial = 0;
    std::vector<std::wstring> fileHashes;  // GameSha256, split at its commas
};

// Whether `signatureText` signs exactly `document` with one of `publisherKeys` (key texts;
// one that does not read as a key counts for nothing). `signatureText` null: none came.
ReleaseVerdict JudgeSignature(const std::string& document, const std::string* signatureText,
                              const std::vector<std::string>& publisherKeys);

// The release's serial and hashes, read only from a document whose signature held, against
// the highest serial accepted so far.
ReleaseVerdict JudgeReleaseKeys(IConfigKeyReader& reader, uint64_t highestAccepted,
                                SignedRelease* release);

// Gives each part its SHA-256 text (kept in PackageFile::extra, lower case). False when the
// list and the parts differ in number or an item is no SHA-256.
bool AttachFileHashes(const SignedRelease& release, std::deque<PackageFile>& parts);

// A serial as written: 1 to 20 decimal digits, no sign, no blanks, no overflow.
bool ParseReleaseSerial(const std::wstring& text, uint64_t* serial);

// For the trace and the publisher's check.
const char* ReleaseVerdictText(ReleaseVerdict verdict);
