#include "identity/ClientIdentity.h"

#include <cwctype>

#include "base/Md5.h"

namespace {

// Keeps the identifier apart from any other hash of the same machine value.
constexpr char kDomain[] = "Vexaverify client identifier 1:";

void AppendUtf8(const std::wstring& text, std::string* out) {
    for (wchar_t c : text) {
        uint32_t cp = static_cast<uint32_t>(c);
        if (cp < 0x80) {
            *out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            *out += static_cast<char>(0xC0 | (cp >> 6));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *out += static_cast<char>(0xE0 | ((cp >> 12) & 0x0F));
            *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
}

}  // namespace

std::wstring ClientIdFromMachineValue(const std::wstring& machineValue) {
    if (machineValue.empty()) return std::wstring();
    // The same machine may report its GUID in either case.
    std::wstring normalised;
    for (wchar_t c : machineValue) normalised += static_cast<wchar_t>(std::towlower(c));
    std::string message = kDomain;
    AppendUtf8(normalised, &message);
    std::wstring id = DigestText(Md5Digest(message.data(), message.size()));
    for (wchar_t& c : id) c = static_cast<wchar_t>(std::towupper(c));
    return id;
}
