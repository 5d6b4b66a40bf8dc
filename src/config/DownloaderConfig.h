#pragma once
// The configuration object: owns the package identity, derives the per-package file names
// and answers every question about a configuration key.
//
// (Start-up needs only the identity, version and game name; the document fetch and the
// key getters grow here.)

#include <windows.h>

#include <string>

class CDownloaderConfig {
public:
    CDownloaderConfig();

    std::wstring GetPackageId() const { return packageId_; }
    // Built on the first request that finds it empty, then kept.
    std::wstring GetVersionText();
    std::wstring GetGameName() const { return gameName_; }

private:
    std::wstring versionText_;
    std::wstring packageId_;
    std::wstring gameName_;
};
