#include "PeImage.h"

namespace stamp {
namespace {

constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kMaxSections = 96;

}  // namespace

ResourceKey ResourceKey::Name(const std::string& ascii) {
    ResourceKey key;
    for (char c : ascii) {
        char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        key.name.push_back(static_cast<char16_t>(static_cast<unsigned char>(upper)));
    }
    return key;
}

bool PeImage::ReadU16(size_t offset, uint16_t* value) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 2) return false;
    *value = static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    return true;
}

bool PeImage::ReadU32(size_t offset, uint32_t* value) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) return false;
    *value = static_cast<uint32_t>(bytes_[offset]) | (static_cast<uint32_t>(bytes_[offset + 1]) << 8) |
             (static_cast<uint32_t>(bytes_[offset + 2]) << 16) |
             (static_cast<uint32_t>(bytes_[offset + 3]) << 24);
    return true;
}

bool PeImage::RvaToOffset(uint32_t rva, size_t length, size_t* offset) const {
    for (const Section& s : sections_) {
        uint64_t start = s.virtualAddress;
        uint64_t extent = s.rawSize < s.virtualSize || s.virtualSize == 0 ? s.rawSize : s.virtualSize;
        if (rva >= start && uint64_t(rva) + length <= start + extent) {
            uint64_t result = uint64_t(s.rawOffset) + (rva - start);
            if (result + length > bytes_.size()) return false;
            *offset = static_cast<size_t>(result);
            return true;
        }
    }
    return false;
}

bool PeImage::Load(std::vector<uint8_t> bytes, std::string* error) {
    bytes_ = std::move(bytes);
    sections_.clear();
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    uint16_t mz = 0;
    uint32_t peOffset = 0, signature = 0;
    if (!ReadU16(0, &mz) || mz != 0x5A4D) return fail("not an executable (no MZ header)");
    if (!ReadU32(0x3C, &peOffset) || !ReadU32(peOffset, &signature) || signature != 0x00004550)
        return fail("not a PE image");
    size_t coff = size_t(peOffset) + 4;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!ReadU16(coff + 2, &sectionCount) || !ReadU16(coff + 16, &optionalSize))
        return fail("truncated file header");
    size_t optional = coff + 20;
    if (!ReadU16(optional, &magic)) return fail("truncated optional header");
    size_t directories;
    if (magic == 0x20b) {
        directories = optional + 112;
    } else if (magic == 0x10b) {
        directories = optional + 96;
    } else {
        return fail("unknown optional header");
    }
    uint32_t resourceRva = 0, resourceSize = 0;
    if (directories + 3 * 8 > optional + optionalSize || !ReadU32(directories + 2 * 8, &resourceRva) ||
        !ReadU32(directories + 2 * 8 + 4, &resourceSize)) {
        return fail("no data directories");
    }
    if (sectionCount > kMaxSections) return fail("too many sections");
    size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        size_t at = table + size_t(i) * 40;
        Section s{};
        if (!ReadU32(at + 8, &s.virtualSize) || !ReadU32(at + 12, &s.virtualAddress) ||
            !ReadU32(at + 16, &s.rawSize) || !ReadU32(at + 20, &s.rawOffset)) {
            return fail("truncated section table");
        }
        sections_.push_back(s);
    }
    if (resourceRva == 0 || resourceSize < 16) return fail("the image has no resources");
    if (!RvaToOffset(resourceRva, 16, &resourceBase_)) return fail("resource directory outside the file");
    resourceSize_ = resourceSize;
    if (resourceBase_ + resourceSize_ > bytes_.size()) resourceSize_ = bytes_.size() - resourceBase_;
    return true;
}

bool PeImage::ReadDirectoryName(uint32_t nameOffset, std::u16string* name) const {
    uint16_t length = 0;
    if (nameOffset >= resourceSize_ || !ReadU16(resourceBase_ + nameOffset, &length)) return false;
    name->clear();
    for (uint16_t i = 0; i < length; ++i) {
        uint16_t c = 0;
        if (!ReadU16(resourceBase_ + nameOffset + 2 + size_t(i) * 2, &c)) return false;
        name->push_back(static_cast<char16_t>(c));
    }
    return true;
}

bool PeImage::FindEntry(uint32_t dir, const ResourceKey* key, uint32_t* offsetToData) const {
    uint16_t named = 0, ids = 0;
    if (dir >= resourceSize_ || !ReadU16(resourceBase_ + dir + 12, &named) ||
        !ReadU16(resourceBase_ + dir + 14, &ids)) {
        return false;
    }
    uint32_t count = uint32_t(named) + ids;
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = resourceBase_ + dir + 16 + size_t(i) * 8;
        uint32_t nameField = 0, data = 0;
        if (!ReadU32(entry, &nameField) || !ReadU32(entry + 4, &data)) return false;
        bool matches = key == nullptr;
        if (key && key->name.empty()) {
            matches = !(nameField & kSubdirectoryBit) && nameField == key->id;
        } else if (key && (nameField & kSubdirectoryBit)) {
            std::u16string name;
            matches = ReadDirectoryName(nameField & ~kSubdirectoryBit, &name) && name == key->name;
        }
        if (matches) {
            *offsetToData = data;
            return true;
        }
    }
    return false;
}

bool PeImage::Resolve(uint32_t typeData, const ResourceKey* name, ResourceData* out) const {
    if (!(typeData & kSubdirectoryBit)) return false;
    uint32_t nameData = 0, languageData = 0;
    if (!FindEntry(typeData & ~kSubdirectoryBit, name, &nameData) || !(nameData & kSubdirectoryBit))
        return false;
    uint32_t languageDir = nameData & ~kSubdirectoryBit;
    if (!FindEntry(languageDir, nullptr, &languageData) || (languageData & kSubdirectoryBit))
        return false;
    uint32_t language = 0, rva = 0, size = 0;
    if (!ReadU32(resourceBase_ + languageDir + 16, &language) ||
        !ReadU32(resourceBase_ + languageData, &rva) || !ReadU32(resourceBase_ + languageData + 4, &size)) {
        return false;
    }
    size_t offset = 0;
    if (!RvaToOffset(rva, size, &offset)) return false;
    out->fileOffset = offset;
    out->size = size;
    out->language = language;
    return true;
}

bool PeImage::FindResource(const ResourceKey& type, const ResourceKey& name, ResourceData* out) const {
    uint32_t typeData = 0;
    return FindEntry(0, &type, &typeData) && Resolve(typeData, &name, out);
}

bool PeImage::FindFirstResource(const ResourceKey& type, ResourceData* out) const {
    uint32_t typeData = 0;
    return FindEntry(0, &type, &typeData) && Resolve(typeData, nullptr, out);
}

}  // namespace stamp
