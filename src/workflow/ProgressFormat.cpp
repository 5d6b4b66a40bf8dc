#include "workflow/ProgressFormat.h"

#include <cwchar>

namespace {

constexpr uint64_t kGiB = 1073741824;
constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kKiB = 1024;

std::wstring FormatQuotient(uint64_t bytes, uint64_t unit, const wchar_t* format) {
    float quotient = static_cast<float>(static_cast<double>(bytes) / static_cast<double>(unit));
    wchar_t text[64] = {};
    std::swprintf(text, 64, format, static_cast<double>(quotient));
    return text;
}

}  // namespace

std::wstring FormatSize(uint64_t bytes) {
    if (bytes / kGiB != 0) return FormatQuotient(bytes, kGiB, L"%0.2fGB");
    if (bytes / kMiB != 0) return FormatQuotient(bytes, kMiB, L"%0.2fMB");
    if (bytes / kKiB != 0) return FormatQuotient(bytes, kKiB, L"%0.2fKB");
    return FormatQuotient(bytes, 1, L"%0.2fB");
}

std::wstring FormatSizePairText(uint64_t done, uint64_t total) {
    return FormatSize(done) + L"/" + FormatSize(total);
}

std::wstring FormatSpeed(uint64_t bytesPerSecond) {
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"速度：%0.1fKB/s", static_cast<double>(bytesPerSecond) / 1024.0);
    return text;
}

unsigned PercentOf(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    // Both builds are 64-bit, so the product fits a 128-bit integer for every pair.
    unsigned __int128 product = static_cast<unsigned __int128>(done) * 100u;
    return static_cast<unsigned>(product / total);
}
