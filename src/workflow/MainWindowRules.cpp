#include "workflow/MainWindowRules.h"

#include "config/PackageFileName.h"

namespace {

constexpr int kDocumentTag = 1;
constexpr int kSkinImageTag = 2;
constexpr int kShareOfEachFetch = 20;
constexpr size_t kVersionPrefixLength = 5;

}  // namespace

int InitStatusPercent(uint32_t received, uint32_t total, int state, int tag) {
    if (state != kInitProgressState || tag == 0) return -1;
    if (total == 0) return 0;
    // Truncated toward zero, as the bar only ever shows whole points.
    const double share = static_cast<double>(received) / total * kShareOfEachFetch;
    if (tag == kDocumentTag) return static_cast<int>(share);
    if (tag == kSkinImageTag) return static_cast<int>(share + kShareOfEachFetch);
    return 0;
}

int NextRacePercent(int percent) {
    int next = percent + kInitRaceStep;
    return next > kInitRaceCeiling ? kInitRaceCeiling : next;
}

bool RaceFinished(int percent) { return percent > kInitRaceCeiling - 1; }

bool PassesPackageCheck(const std::deque<PackageFile>& files, const std::wstring& packageId) {
    if (packageId.empty() || files.empty()) return false;
    const PackageFile& front = files.front();
    if (front.size == 0 || front.link.empty()) return false;
    // The names come from a document fetched over plain HTTP: one that is no plain file name
    // could lead the download window outside its folder, so the package goes no further.
    return ArePackageFileNamesSafe(files);
}

bool IsDownloaderOlder(const std::wstring& own, const std::wstring& announced) {
    if (own.size() != announced.size()) return true;
    return own.compare(0, kVersionPrefixLength, announced, 0, kVersionPrefixLength) < 0;
}

bool FitsDownloadBackground(uint32_t width, uint32_t height) {
    return width == kDownloadBackgroundWidth && height == kDownloadBackgroundHeight;
}

std::wstring ShortcutStemFor(const std::wstring& programPath) {
    size_t slash = programPath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}
