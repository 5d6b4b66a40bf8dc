#pragma once
// Splitting the document's three comma lists (sizes, links, MD5 texts) into package files.

#include <cstdint>
#include <deque>
#include <string>

#include "config/PackageFile.h"
#include "config/UnsignedDecimal.h"

// The lists are split in step: while the first comma of any of them is not its first character,
// each gives the text before its first comma (or nothing, when it has no comma) to one
// record. What remains of each list then makes one last record. Lists of unequal length
// are not aligned: a shorter list leaves fields empty while the longer ones go on. Blanks
// around each item are removed.
std::deque<PackageFile> SplitPartLists(const std::wstring& sizes, const std::wstring& links,
                                       const std::wstring& md5s);
