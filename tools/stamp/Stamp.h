#pragma once
// Makes the copy of the program for one package: writes the package identifier (the
// FileDescription of the version resource) and the deployment values into the resources
// of a built program, in place, without rebuilding it. The same inputs give the same bytes.

#include <optional>
#include <string>
#include <vector>

#include "PeImage.h"
#include "VersionBlock.h"
#include "config/DeploymentValues.h"

namespace stamp {

struct StampRequest {
    std::optional<std::string> packageId;  // UTF-8
    std::optional<std::string> configServer;
    std::optional<std::string> statsServer;
    std::optional<std::string> homePage;
    std::optional<std::string> feedbackPage;
    std::optional<FileVersion> version;
    // Replaces the copy's publisher keys (at most kMaxPublisherKeys; each "ed25519:" + hex).
    std::optional<std::vector<std::string>> publisherKeys;
};

struct StampInfo {
    std::string packageId;  // UTF-8, as stored (the program reads at most 38 characters)
    DeploymentValues deployment;
    FileVersion version;
};

bool ReadStamp(const PeImage& image, StampInfo* info, std::string* error);
bool ApplyStamp(PeImage& image, const StampRequest& request, std::string* error);

bool ParseFileVersion(const std::string& text, FileVersion* version);
std::string FormatFileVersion(const FileVersion& version);

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace stamp
