#include "stats/StatisticsDLEvent.h"

#include "config/UnsignedDecimal.h"

namespace {

constexpr wchar_t kSection[] = L"Norvane";
constexpr wchar_t kTotalKey[] = L"DownloadTotalTime";
constexpr DWORD kValueChars = 260;

}  // namespace

CStatisticsDLEvent::CStatisticsDLEvent(Clock clock, const std::wstring& stateFilePath)
    : clock_(std::move(clock)), stateFile_(stateFilePath) {
    LoadTotal();
}

CStatisticsDLEvent::~CStatisticsDLEvent() { StoreTotal(); }

int CStatisticsDLEvent::OnTaskEvent(int event) {
    if (event == kTaskStarted) {
        startTime_ = clock_();
    } else if (event == kTaskStopped && startTime_ > 0) {
        // The millisecond clock wraps after 49.7 days; the 32-bit difference stays right.
        DWORD elapsed = clock_() - static_cast<DWORD>(startTime_);
        total_ += elapsed;
        startTime_ = 0;
    }
    return 0;
}

bool CStatisticsDLEvent::StateFileThere() const {
    return !stateFile_.empty() &&
           ::GetFileAttributesW(stateFile_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CStatisticsDLEvent::LoadTotal() {
    total_ = 0;
    if (!StateFileThere()) return;
    wchar_t value[kValueChars] = {};
    ::GetPrivateProfileStringW(kSection, kTotalKey, L"0", value, kValueChars, stateFile_.c_str());
    total_ = ParseUnsignedDecimal(value);
}

void CStatisticsDLEvent::StoreTotal() const {
    if (!StateFileThere()) return;
    ::WritePrivateProfileStringW(kSection, kTotalKey, std::to_wstring(total_).c_str(),
                                 stateFile_.c_str());
}
