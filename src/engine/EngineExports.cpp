// The module's thirteen exports (names fixed by VexaP2SP.def). Every call returns quickly:
// transfers run on the tasks' own threads. Unknown task ids fail with 0.
#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "base/ExportBarrier.h"
#include "base/TextCodec.h"
#include "engine/EngineRegistry.h"
#include "engine/StatusRecord.h"
#include "engine/core/TaskUrl.h"

using vexa::engine::EngineRegistry;

namespace {

// A text the caller passed with its length in characters (no terminator needed).
std::string ToUtf8(const wchar_t* text, int chars) {
    if (!text || chars <= 0) return {};
    return Utf8FromWide(std::wstring(text, static_cast<size_t>(chars)));
}

void EnsureWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

}  // namespace

// Every export answers through ExportBarrier: an exception (a thread that cannot start, an
// allocation) becomes the export's failure answer instead of crossing into the program.
extern "C" {

int Init(int /*reserved*/) {
    return ExportBarrier(0, [] {
        EnsureWinsock();
        return 1;
    });
}

int Login() {
    return ExportBarrier(0, [] { return 0; });
}

int Uninit() {
    return ExportBarrier(0, [] {
        EngineRegistry::Get().StopAll();
        return 1;
    });
}

// Options: 3 = seed base addresses (SeedUrl); 100 = tuning text "name=value;...".
int SetP2spOption(int option, const wchar_t* text, int byteLength) {
    return ExportBarrier(0, [&] {
        std::string value = ToUtf8(text, byteLength / 2);
        if (option == 3) {
            EngineRegistry::Get().SetSeeds(value);
            return 1;
        }
        if (option == 100) {
            EngineRegistry::Get().SetTuning(value);
            return 1;
        }
        return 0;
    });
}

int CreateP2SPTask(HWND /*owner*/, const wchar_t* url, const wchar_t* targetPath) {
    return ExportBarrier(-1, [&] {
        if (!url || !targetPath) return -1;
        EnsureWinsock();
        std::string link =
            vexa::engine::EncodeLinkForWire(ToUtf8(url, static_cast<int>(wcslen(url))));
        return EngineRegistry::Get().Create(link, targetPath);
    });
}

int QueryTask(int taskId, void* record) {
    return ExportBarrier(0, [&] {
        auto task = EngineRegistry::Get().Find(taskId);
        if (!task || !record) return 0;
        vexa::engine::FillStatusRecord(task->Status(), static_cast<unsigned char*>(record));
        return 1;
    });
}

int StartTask(int taskId) {
    return ExportBarrier(0, [&] {
        auto task = EngineRegistry::Get().Find(taskId);
        return task && task->Start() ? 1 : 0;
    });
}

int StopTask(int taskId) {
    return ExportBarrier(0, [&] {
        auto task = EngineRegistry::Get().Find(taskId);
        if (!task) return 0;
        task->Stop();
        return 1;
    });
}

int RemoveTask(int taskId) {
    return ExportBarrier(0, [&] { return EngineRegistry::Get().Remove(taskId) ? 1 : 0; });
}

// Present for callers that bind every export; this engine keeps no seeding, messages,
// account or registration state.
int StopSeed(int /*taskId*/) {
    return ExportBarrier(0, [] { return 0; });
}
int GetFinishMessage(int /*taskId*/, void* /*buffer*/, int /*size*/) {
    return ExportBarrier(0, [] { return 0; });
}
int SetConfigInfo(const wchar_t* /*text*/, int /*size*/) {
    return ExportBarrier(0, [] { return 0; });
}
int UpdateRegInfo(const wchar_t* /*text*/, int /*size*/) {
    return ExportBarrier(0, [] { return 0; });
}

}  // extern "C"
