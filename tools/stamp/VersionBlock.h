#pragma once
// Reading and patching a version resource block (VS_VERSIONINFO) in place. Portable.

#include <cstddef>
#include <cstdint>
#include <string>

namespace stamp {

struct FileVersion {
    uint16_t part[4] = {0, 0, 0, 0};
};

// The FileDescription of the string table named by the first translation entry, exactly
// as the program looks it up.
bool ReadFileDescription(const uint8_t* block, size_t size, std::u16string* text);

// Writes `text` into that FileDescription's slot, zero-filling the rest of the slot. Fails
// when the text does not fit the slot (the program's slot holds 128 characters).
bool WriteFileDescription(uint8_t* block, size_t size, const std::u16string& text,
                          std::string* error);

bool ReadFileVersion(const uint8_t* block, size_t size, FileVersion* version);
// Sets the file and product version of the fixed file information.
bool WriteFileVersion(uint8_t* block, size_t size, const FileVersion& version);

}  // namespace stamp
