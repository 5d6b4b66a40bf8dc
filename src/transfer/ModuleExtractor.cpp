#include "transfer/ModuleExtractor.h"

#include <memory>
#include <new>

#include "base/ScopedHandle.h"
#include "transfer/LzariDecoder.h"

namespace {

// The modules are stored in the Chinese (PRC) language of the resource table.
constexpr WORD kModuleLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
// A stored module never declares more than four times its stored size; a header asking for
// more is damaged and refused rather than trusted with a larger buffer.
constexpr size_t kMaxExpansion = 4;

struct StoredModule {
    const uint8_t* bytes = nullptr;
    size_t length = 0;
};

bool FindStoredModule(UINT resourceId, const wchar_t* resourceType, StoredModule* stored) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceExW(self, resourceType, MAKEINTRESOURCEW(resourceId), kModuleLanguage);
    if (info == nullptr) info = FindResourceW(self, MAKEINTRESOURCEW(resourceId), resourceType);
    if (info == nullptr) return false;
    HGLOBAL loaded = LoadResource(self, info);
    DWORD length = SizeofResource(self, info);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || length == 0) return false;
    stored->bytes = static_cast<const uint8_t*>(bytes);
    stored->length = length;
    return true;
}

// Decodes into a buffer of exactly the declared size, once the header has passed the check.
bool DecodeModule(const StoredModule& stored, std::unique_ptr<uint8_t[]>* decoded, size_t* size) {
    uint32_t declared = 0;
    if (!lzari::ReadDecodedSize(stored.bytes, stored.length, &declared)) return false;
    if (declared > stored.length * kMaxExpansion) return false;
    decoded->reset(new (std::nothrow) uint8_t[declared == 0 ? 1 : declared]);
    if (*decoded == nullptr) return false;
    return lzari::Decode(stored.bytes, stored.length, decoded->get(), declared, size) ==
           lzari::DecodeResult::kOk;
}

bool WriteNewFile(const wchar_t* targetPath, const uint8_t* bytes, size_t size) {
    // A copy that is still loaded cannot be deleted, and then CREATE_NEW refuses the path.
    DeleteFileW(targetPath);
    CScopedHandle file(CreateFileW(targetPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    bool complete =
        size == 0 || (WriteFile(file.Get(), bytes, static_cast<DWORD>(size), &written, nullptr) &&
                      written == size);
    FlushFileBuffers(file.Get());
    file.Reset();
    if (!complete) DeleteFileW(targetPath);
    return complete;
}

}  // namespace

BOOL ExtractModule(UINT resourceId, const wchar_t* resourceType, const wchar_t* targetPath) {
    StoredModule stored;
    if (!FindStoredModule(resourceId, resourceType, &stored)) return FALSE;
    std::unique_ptr<uint8_t[]> decoded;
    size_t size = 0;
    if (!DecodeModule(stored, &decoded, &size)) return FALSE;
    return WriteNewFile(targetPath, decoded.get(), size) ? TRUE : FALSE;
}
