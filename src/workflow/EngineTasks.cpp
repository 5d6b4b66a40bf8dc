#include "workflow/EngineTasks.h"

#include <cstring>

#include "transfer/DownloadManager.h"

namespace {

constexpr size_t kStatusRecordSize = 596;

template <class T>
T ReadField(const unsigned char* record, size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof(value));
    return value;
}

}  // namespace

bool CEngineTasks::Ready() const { return engine_ && engine_->IsBound(); }

void CEngineTasks::Init() {
    if (Ready()) engine_->pfnInit(0);
}

void CEngineTasks::SetSeeds(const std::wstring& seedUrl) {
    if (!Ready()) return;
    engine_->pfnSetP2spOption(3, seedUrl.c_str(), static_cast<int>(seedUrl.size() * 2));
}

int CEngineTasks::Create(void* owner, const std::wstring& url, const std::wstring& target) {
    if (!Ready()) return kNoTask;
    int task = engine_->pfnCreateP2SPTask(static_cast<HWND>(owner), url.c_str(), target.c_str());
    return task < 0 ? kNoTask : task;
}

TaskFigures CEngineTasks::Query(int task) const {
    TaskFigures figures;
    if (!Ready() || task == kNoTask) return figures;
    unsigned char record[kStatusRecordSize] = {};
    if (!engine_->pfnQueryTask(task, record)) return figures;
    figures.size = ReadField<uint64_t>(record, 8);
    figures.done = ReadField<uint64_t>(record, 16);
    figures.speed = uint64_t(ReadField<uint32_t>(record, 60)) + ReadField<uint32_t>(record, 64);
    figures.state = record[69];
    return figures;
}

void CEngineTasks::Start(int task) {
    if (Ready() && task != kNoTask) engine_->StartTask(task);
}

void CEngineTasks::Stop(int task) {
    if (Ready() && task != kNoTask) engine_->StopTask(task);
}

void CEngineTasks::Remove(int task) {
    if (Ready() && task != kNoTask) engine_->pfnRemoveTask(task);
}

void CEngineTasks::Uninit() {
    if (Ready()) engine_->pfnUninit();
}

std::wstring GameTaskUrl(const std::wstring& link, const std::wstring& md5) {
    return L"PDown://b7=1|" + link + L"|h1=" + md5;
}
