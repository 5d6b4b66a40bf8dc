#pragma once
// The checks a downloaded file must pass: its size and, when the package asks for it, the MD5
// fingerprint of its content (the whole file, or only its last 50 MiB for a larger one).

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/Md5.h"
#include "base/ScopedHandle.h"
#include "transfer/Fingerprint.h"

// Opens the file for one sequential read and gives its size; false for a missing, unreadable
// or empty file (nothing to hash).
bool OpenFileToHash(const wchar_t* path, CScopedHandle* file, uint64_t* size);

// The MD5 of the file's last kFingerprintWindow bytes (all of a smaller file), read in chunks
// so that memory stays small. Fails, with an all-zero digest, for a missing, unreadable or
// empty file.
bool FileFingerprint(const wchar_t* path, Md5Bytes* digest);

// True when the file's fingerprint text equals `expected`, digits compared without regard to
// case. A file without a fingerprint (missing, unreadable, empty) never passes.
bool CheckFileMd5(const wchar_t* path, const std::wstring& expected);

// True when the file exists and its size is nonzero and equals `expected`.
bool CheckFileSize(const wchar_t* path, uint64_t expected);

// The check of a finished or found package file: with `safecheck` exactly "1" the MD5 test
// and then the size test, otherwise the size test alone.
bool CheckPackageFile(const wchar_t* path, uint64_t expectedSize, const std::wstring& expectedMd5,
                      const std::wstring& safecheck);
