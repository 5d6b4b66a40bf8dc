#pragma once
// The SHA-256 of a whole file, read once from start to end in large sequential chunks, so
// that checking a package of gigabytes costs about what reading it costs.

#include "base/Sha256.h"

// False for a missing, unreadable or empty file, or one that shrinks while it is read.
bool FileSha256(const wchar_t* path, Sha256Bytes* digest);
