#pragma once
// What the configuration document says, and the rules by which it is read: which keys are
// required, in which order they are read and how the part lists become package files. The
// profile reading itself is the caller's (the platform's private-profile functions in the
// program; an in-memory reader with the same rules in the publisher's tools).

#include <deque>
#include <string>

#include "config/PackageFile.h"

struct ConfigValues {
    std::wstring gameName;
    std::wstring gameStart;
    std::wstring seedUrl;
    std::wstring skinLink;
    std::wstring newVersion;
    std::wstring newVersionDownloaderLink;
    std::wstring embedLink2;
    std::wstring quilletDownloaderLink;
    std::wstring safeCheck;
    std::wstring gameVersion;
    std::wstring quilletInstallTip;
    std::wstring textPromotionTitle;
    std::wstring textPromotionLink;
    std::wstring cancelDownloadTips;
    std::deque<PackageFile> parts;  // in document order
};

// One value of the document; the empty text when the key is missing.
class IConfigKeyReader {
public:
    virtual std::wstring Read(const wchar_t* section, const wchar_t* key) = 0;

protected:
    ~IConfigKeyReader() = default;
};

// Reads every key into `values`, which starts from nothing. False when a required key is
// missing or empty; `missingKey` (when given) then names it. Values read before the failure
// stay in place. `homePageUrl` stands in for a missing NewVersionDownloaderLink.
bool ParseConfigDocument(IConfigKeyReader& reader, const std::wstring& homePageUrl,
                         ConfigValues& values, std::wstring* missingKey = nullptr);
