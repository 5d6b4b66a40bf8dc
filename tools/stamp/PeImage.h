#pragma once
// A read/write view of a PE image file in memory, enough to find resources by type, name
// and language and to patch their data in place. Portable: no Win32.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stamp {

// A resource type or name: a numeric id or an upper-case text.
struct ResourceKey {
    uint32_t id = 0;
    std::u16string name;  // used when not empty
    static ResourceKey Id(uint32_t value) { return ResourceKey{value, {}}; }
    static ResourceKey Name(const std::string& ascii);
};

struct ResourceData {
    size_t fileOffset = 0;  // where the data lies in the file
    size_t size = 0;
    uint32_t language = 0;
};

class PeImage {
public:
    // False (with a reason) when the bytes are not a well-formed PE image.
    bool Load(std::vector<uint8_t> bytes, std::string* error);

    // The first language of resource (type, name); false when there is none.
    bool FindResource(const ResourceKey& type, const ResourceKey& name, ResourceData* out) const;
    // The first name and first language of a resource type.
    bool FindFirstResource(const ResourceKey& type, ResourceData* out) const;

    std::vector<uint8_t>& Bytes() { return bytes_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    struct Section {
        uint32_t virtualAddress;
        uint32_t virtualSize;
        uint32_t rawOffset;
        uint32_t rawSize;
    };

    bool RvaToOffset(uint32_t rva, size_t length, size_t* offset) const;
    bool ReadU16(size_t offset, uint16_t* value) const;
    bool ReadU32(size_t offset, uint32_t* value) const;
    // Entry of directory `dir` (offset inside the resource section) matching `key`, or
    // the first entry when `key` is null. Returns the entry's OffsetToData field.
    bool FindEntry(uint32_t dir, const ResourceKey* key, uint32_t* offsetToData) const;
    bool ReadDirectoryName(uint32_t nameOffset, std::u16string* name) const;
    bool Resolve(uint32_t typeData, const ResourceKey* name, ResourceData* out) const;

    std::vector<uint8_t> bytes_;
    std::vector<Section> sections_;
    size_t resourceBase_ = 0;  // file offset of the resource section's root directory
    size_t resourceSize_ = 0;
};

}  // namespace stamp
