#include "config/DeploymentValues.h"

#include <cstring>

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool HasLineBreak(const std::string& value) {
    return value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos;
}

}  // namespace

bool ParseDeploymentValues(const char* data, size_t size, DeploymentValues* values) {
    std::string text(data, strnlen(data, size));
    size_t magicLength = std::strlen(kDeployMagic);
    if (text.compare(0, magicLength, kDeployMagic) != 0) return false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (key == "ConfigServer") values->configServer = value;
        else if (key == "StatsServer") values->statsServer = value;
        else if (key == "HomePage") values->homePage = value;
        else if (key == "FeedbackPage") values->feedbackPage = value;
        else if (key == "PublisherKey" && values->publisherKeys.size() < kMaxPublisherKeys)
            values->publisherKeys.push_back(value);
    }
    return true;
}

bool FormatDeploymentSlot(const DeploymentValues& values, std::string* slot) {
    const std::string* all[] = {&values.configServer, &values.statsServer, &values.homePage,
                                &values.feedbackPage};
    for (const std::string* value : all) {
        if (HasLineBreak(*value)) return false;
    }
    if (values.publisherKeys.size() > kMaxPublisherKeys) return false;
    for (const std::string& key : values.publisherKeys) {
        if (HasLineBreak(key)) return false;
    }
    std::string text = std::string(kDeployMagic) + "\n";
    text += "ConfigServer=" + values.configServer + "\n";
    text += "StatsServer=" + values.statsServer + "\n";
    text += "HomePage=" + values.homePage + "\n";
    text += "FeedbackPage=" + values.feedbackPage + "\n";
    for (const std::string& key : values.publisherKeys) text += "PublisherKey=" + key + "\n";
    if (text.size() > kDeploySlotBytes) return false;
    text.resize(kDeploySlotBytes, ' ');
    *slot = text;
    return true;
}
