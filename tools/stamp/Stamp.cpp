#include "Stamp.h"

#include <cstdio>
#include <cstring>

#include "base/Ed25519.h"

namespace stamp {
namespace {

constexpr uint32_t kVersionType = 16;  // RT_VERSION
const char kDeployType[] = "VEXA_DEPLOY";

bool FindVersion(const PeImage& image, ResourceData* data, std::string* error) {
    if (!image.FindFirstResource(ResourceKey::Id(kVersionType), data)) {
        if (error) *error = "the program has no version resource";
        return false;
    }
    return true;
}

bool FindDeploySlot(const PeImage& image, ResourceData* data, std::string* error) {
    if (!image.FindResource(ResourceKey::Name(kDeployType), ResourceKey::Id(1), data) ||
        data->size != kDeploySlotBytes) {
        if (error) *error = "the program has no deployment slot (resource VEXA_DEPLOY 1)";
        return false;
    }
    return true;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2
                                       : (lead >> 3) == 30 ? 3 : 4;
        uint32_t code = extra == 0 ? lead : extra < 4 ? (lead & (0x3F >> extra)) : 0xFFFD;
        bool valid = extra < 4 && i + extra < text.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += extra + 1;
        if (code >= 0x10000 && code <= 0x10FFFF) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code > 0x10FFFF ? 0xFFFD : code));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

bool ParseFileVersion(const std::string& text, FileVersion* version) {
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                    &tail) != 4) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (parts[i] > 0xFFFF) return false;
        version->part[i] = static_cast<uint16_t>(parts[i]);
    }
    return true;
}

std::string FormatFileVersion(const FileVersion& v) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", v.part[0], v.part[1], v.part[2], v.part[3]);
    return text;
}

bool ReadStamp(const PeImage& image, StampInfo* info, std::string* error) {
    ResourceData version, deploy;
    if (!FindVersion(image, &version, error) || !FindDeploySlot(image, &deploy, error)) return false;
    const uint8_t* block = image.Bytes().data() + version.fileOffset;
    std::u16string id;
    if (!ReadFileDescription(block, version.size, &id)) {
        if (error) *error = "the version resource has no FileDescription";
        return false;
    }
    info->packageId = Utf16ToUtf8(id);
    ReadFileVersion(block, version.size, &info->version);
    const char* slot = reinterpret_cast<const char*>(image.Bytes().data() + deploy.fileOffset);
    if (!ParseDeploymentValues(slot, deploy.size, &info->deployment)) {
        if (error) *error = "the deployment slot is damaged";
        return false;
    }
    return true;
}

bool ApplyStamp(PeImage& image, const StampRequest& request, std::string* error) {
    ResourceData version, deploy;
    if (!FindVersion(image, &version, error) || !FindDeploySlot(image, &deploy, error)) return false;
    uint8_t* block = image.Bytes().data() + version.fileOffset;

    StampInfo current;
    if (!ReadStamp(image, &current, error)) return false;
    DeploymentValues values = current.deployment;
    if (request.configServer) values.configServer = *request.configServer;
    if (request.statsServer) values.statsServer = *request.statsServer;
    if (request.homePage) values.homePage = *request.homePage;
    if (request.feedbackPage) values.feedbackPage = *request.feedbackPage;
    if (request.publisherKeys) {
        for (const std::string& key : *request.publisherKeys) {
            Ed25519PublicKey parsed;
            if (!ParsePublicKeyText(key, &parsed)) {
                if (error) *error = "not a publisher key: " + key;
                return false;
            }
        }
        if (request.publisherKeys->size() > kMaxPublisherKeys) {
            if (error) *error = "a copy takes at most two publisher keys";
            return false;
        }
        values.publisherKeys.clear();
        for (const std::string& key : *request.publisherKeys) {
            Ed25519PublicKey parsed;
            ParsePublicKeyText(key, &parsed);
            values.publisherKeys.push_back(PublicKeyText(parsed));  // one spelling in every copy
        }
    }
    std::string slot;
    if (!FormatDeploymentSlot(values, &slot)) {
        if (error) *error = "the deployment values hold a line break or do not fit the slot";
        return false;
    }

    // Check everything before changing anything, so a refused stamp leaves no mixed copy.
    std::vector<uint8_t> versionCopy(block, block + version.size);
    if (request.packageId &&
        !WriteFileDescription(versionCopy.data(), versionCopy.size(),
                              Utf8ToUtf16(*request.packageId), error)) {
        return false;
    }
    if (request.version && !WriteFileVersion(versionCopy.data(), versionCopy.size(), *request.version)) {
        if (error) *error = "the version resource has no fixed file information";
        return false;
    }
    std::memcpy(block, versionCopy.data(), versionCopy.size());
    std::memcpy(image.Bytes().data() + deploy.fileOffset, slot.data(), slot.size());
    return true;
}

}  // namespace stamp
