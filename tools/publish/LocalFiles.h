#pragma once
// The publisher's files on disk. Paths are UTF-8 texts on every system.

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/Md5.h"

namespace publish {

std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// The file's fingerprint as the program computes it (the MD5 of its last 50 MiB).
bool FingerprintLocalFile(const std::string& path, Md5Bytes* digest);

bool ReadWholeFile(const std::string& path, std::string* bytes);
// Written beside the target and renamed into place, so a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// Puts `source` at `target` (folders made as needed): a hard link when the two share a file
// system, otherwise a copy. An existing target is replaced.
bool PlaceFile(const std::string& source, const std::string& target, std::string* error);

}  // namespace publish
