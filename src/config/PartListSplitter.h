#pragma once
// Splitting the document's three comma lists (sizes, links, MD5 texts) into package files.

#include <cstdint>
#include <deque>
#include <string>

#include "config/PackageFile.h"

// Reads a decimal unsigned 64-bit number the way "%I64u " does: leading blanks skipped, an
// optional "+", digits up to the first non-digit. Nothing readable, a "-" sign or a value
// beyond 64 bits gives 0.
uint64_t ParseUnsignedDecimal(const std::wstring& text);

// The lists are split in step: while any of them has a comma after its first character,
// each gives the text before its first comma (or nothing, when it has no comma) to one
// record. What remains of each list then makes one last record. Lists of unequal length
// are not aligned: a shorter list leaves fields empty while the longer ones go on.
std::deque<PackageFile> SplitPartLists(const std::wstring& sizes, const std::wstring& links,
                                       const std::wstring& md5s);
