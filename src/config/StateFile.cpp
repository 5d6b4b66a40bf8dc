#include "config/StateFile.h"

#include <cwchar>

#include "base/ScopedHandle.h"
#include "config/UnsignedDecimal.h"

namespace {

constexpr wchar_t kSection[] = L"Norvane";
constexpr DWORD kValueCapacity = 260;
constexpr wchar_t kAcceptedSerial[] = L"ReleaseSerial";

}  // namespace

bool CStateFile::Exists() const {
    return !path_.empty() && GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CStateFile::Reset() const {
    const std::wstring serial = Exists() ? Read(kAcceptedSerial) : std::wstring();
    CreateEmpty();
    if (!serial.empty()) Write(kAcceptedSerial, serial);
}

void CStateFile::CreateEmpty() const {
    DeleteFileW(path_.c_str());
    CScopedHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A UTF-16 byte-order mark makes the profile functions keep the file in UTF-16, so a
    // folder name outside the system's ANSI code page survives the round trip.
    static const uint8_t kUtf16Mark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (file.IsValid()) WriteFile(file.Get(), kUtf16Mark, sizeof kUtf16Mark, &written, nullptr);
}

void CStateFile::SaveDownloadFolder(const std::wstring& folder) const { Write(L"Dir", folder); }

std::wstring CStateFile::LoadDownloadFolder() const {
    return Exists() ? Read(L"Dir") : std::wstring();
}

void CStateFile::SaveQuilletChoice(int choice) const { Write(L"DlQL", std::to_wstring(choice)); }

bool CStateFile::IsQuilletChosen(bool fallback) const {
    if (!Exists()) return fallback;
    return Read(L"DLQL") == L"1";
}

void CStateFile::SaveQuilletSize(uint64_t size) const { Write(L"QLSize", std::to_wstring(size)); }

uint64_t CStateFile::LoadQuilletSize() const {
    if (!Exists()) return kDefaultQuilletSize;
    // Leading blanks and a "+" are accepted and the number ends at the first other character.
    std::wstring text = Read(L"QLSize");
    uint64_t size = ParseUnsignedDecimal(text);
    if (size == 0) {
        long long earlier = std::wcstoll(text.c_str(), nullptr, 10);
        if (earlier < 0 && earlier >= INT32_MIN) size = static_cast<uint32_t>(earlier);
    }
    return size == 0 ? kDefaultQuilletSize : size;
}

void CStateFile::SaveDownloadTotalTime(uint64_t milliseconds) const {
    Write(L"DownloadTotalTime", std::to_wstring(milliseconds));
}

uint64_t CStateFile::LoadDownloadTotalTime() const {
    if (!Exists()) return 0;
    return ParseUnsignedDecimal(Read(L"DownloadTotalTime"));
}

void CStateFile::Write(const wchar_t* key, const std::wstring& value) const {
    if (!Exists()) return;
    WritePrivateProfileStringW(kSection, key, value.c_str(), path_.c_str());
}

std::wstring CStateFile::Read(const wchar_t* key) const {
    wchar_t value[kValueCapacity] = {};
    GetPrivateProfileStringW(kSection, key, L"", value, kValueCapacity, path_.c_str());
    return value;
}

std::wstring StateFilePathFor(const std::wstring& tempFolder, const std::wstring& packageId) {
    if (tempFolder.empty()) return std::wstring();  // no file at all rather than one elsewhere
    std::wstring path = tempFolder;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + packageId + L".tmp.cfg";
}

uint64_t CStateFile::LoadAcceptedSerial() const {
    return Exists() ? ParseUnsignedDecimal(Read(kAcceptedSerial)) : 0;
}

void CStateFile::SaveAcceptedSerial(uint64_t serial) const {
    if (!Exists()) CreateEmpty();
    Write(kAcceptedSerial, std::to_wstring(serial));
}
