// p2sp-get [--engine DLL] [--seeds TEXT] [--tune TEXT] [--interval MS] [--pause-at BYTES]
//          [--quiet] [--overwrite] [--serve-for SECONDS] URL TARGET
//
// Loads the transfer engine module by path (default: VexaP2SP.dll beside this program),
// downloads URL (a plain http link or the "PDown://b7=1|link|h1=md5" form) to TARGET with
// optional seed base addresses, prints progress once per interval and the final state.
// --pause-at stops the task once that many bytes are done and starts it again a second
// later, as the program does when the user pauses and resumes.
// A target that is already complete (no partial file beside it, and the task's MD5, when
// it names one, matches) is left alone; --overwrite downloads it again.
// --serve-for keeps the engine running that long after the file is complete, as the program
// does while its window or tray icon stays: a swarm download goes on serving peers.
// Exit code: 0 finished, 1 the task failed, 2 the engine could not be loaded or used.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Md5.h"
#include "base/TextCodec.h"
#include "engine/core/TaskUrl.h"

namespace {

using InitFn = int (*)(int);
using UninitFn = int (*)();
using SetOptionFn = int (*)(int, const wchar_t*, int);
using CreateFn = int (*)(HWND, const wchar_t*, const wchar_t*);
using TaskFn = int (*)(int);
using QueryFn = int (*)(int, void*);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Engine {
    HMODULE module = nullptr;
    InitFn init = nullptr;
    UninitFn uninit = nullptr;
    SetOptionFn setOption = nullptr;
    CreateFn create = nullptr;
    TaskFn start = nullptr;
    TaskFn stop = nullptr;
    QueryFn query = nullptr;
    ~Engine() {
        if (module) FreeLibrary(module);
    }
    bool Load(const std::wstring& path) {
        module = LoadLibraryW(path.c_str());
        if (!module) return false;
        init = Lookup<InitFn>(module, "Init");
        uninit = Lookup<UninitFn>(module, "Uninit");
        setOption = Lookup<SetOptionFn>(module, "SetP2spOption");
        create = Lookup<CreateFn>(module, "CreateP2SPTask");
        start = Lookup<TaskFn>(module, "StartTask");
        stop = Lookup<TaskFn>(module, "StopTask");
        query = Lookup<QueryFn>(module, "QueryTask");
        return init && uninit && setOption && create && start && stop && query;
    }
};

struct Options {
    std::wstring engine, seeds, tune, url, target;
    DWORD intervalMs = 1000;
    DWORD serveSeconds = 0;
    unsigned long long pauseAt = 0;
    bool quiet = false;
    bool overwrite = false;
};

struct Status {
    uint64_t total = 0, done = 0, duplicates = 0, wire = 0, resumed = 0;
    uint32_t originSpeed = 0, seedSpeed = 0;
    uint8_t state = 0;
    // Swarm downloads.
    uint8_t swarm = 0;
    uint64_t peerBytes = 0, uploaded = 0, failed = 0;
    uint32_t peerSpeed = 0, uploadSpeed = 0, banned = 0;
};

Status ReadRecord(const unsigned char* r) {
    Status s;
    std::memcpy(&s.total, r + 8, 8);
    std::memcpy(&s.done, r + 16, 8);
    std::memcpy(&s.duplicates, r + 24, 8);
    std::memcpy(&s.wire, r + 32, 8);
    std::memcpy(&s.resumed, r + 40, 8);
    std::memcpy(&s.originSpeed, r + 60, 4);
    std::memcpy(&s.seedSpeed, r + 64, 4);
    s.state = r[69];
    s.swarm = r[70];
    std::memcpy(&s.peerBytes, r + 48, 8);
    std::memcpy(&s.peerSpeed, r + 72, 4);
    std::memcpy(&s.uploadSpeed, r + 76, 4);
    std::memcpy(&s.uploaded, r + 80, 8);
    std::memcpy(&s.failed, r + 88, 8);
    std::memcpy(&s.banned, r + 96, 4);
    return s;
}

Status QueryStatus(const Engine& engine, int id) {
    unsigned char record[596];
    std::memset(record, 0, sizeof(record));
    engine.query(id, record);
    return ReadRecord(record);
}

// What a created task reports before it starts: an earlier run's recorded progress.
void PrintCreatedProgress(const Engine& engine, int id) {
    Status s = QueryStatus(engine, id);
    std::printf("created done=%llu total=%llu\n", static_cast<unsigned long long>(s.done),
                static_cast<unsigned long long>(s.total));
    std::fflush(stdout);
}

std::wstring DefaultEnginePath() {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"VexaP2SP.dll";
}

bool ParseArgs(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == L"--engine" && hasValue)
            o.engine = argv[++i];
        else if (a == L"--seeds" && hasValue)
            o.seeds = argv[++i];
        else if (a == L"--tune" && hasValue)
            o.tune = argv[++i];
        else if (a == L"--interval" && hasValue)
            o.intervalMs = static_cast<DWORD>(_wtoi(argv[++i]));
        else if (a == L"--pause-at" && hasValue)
            o.pauseAt = _wcstoui64(argv[++i], nullptr, 10);
        else if (a == L"--serve-for" && hasValue)
            o.serveSeconds = static_cast<DWORD>(_wtoi(argv[++i]));
        else if (a == L"--quiet")
            o.quiet = true;
        else if (a == L"--overwrite")
            o.overwrite = true;
        else if (o.url.empty())
            o.url = a;
        else if (o.target.empty())
            o.target = a;
        else
            return false;
    }
    if (o.engine.empty()) o.engine = DefaultEnginePath();
    if (o.intervalMs < 10) o.intervalMs = 10;
    return !o.url.empty() && !o.target.empty();
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buf[32768];
    DWORD n = GetFullPathNameW(path.c_str(), 32768, buf, nullptr);
    return n && n < 32768 ? std::wstring(buf, n) : path;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The MD5 of a file as lower-case hex, or "" when it cannot be read.
std::wstring FileMd5(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return L"";
    CMd5 md5;
    std::vector<char> buf(1 << 20);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) && got)
        md5.Update(buf.data(), got);
    CloseHandle(f);
    return ok ? DigestText(md5.Final()) : L"";
}

// The engine only ever renames a whole file over the target, so a target without a partial
// file beside it is complete, unless the task names an MD5 that it does not have.
bool TargetComplete(const std::wstring& url, const std::wstring& target, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || Exists(target + L".P2P"))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    vexa::engine::TaskAddress address;
    if (!vexa::engine::ParseTaskAddress(Utf8FromWide(url), address) || address.expectedMd5.empty())
        return true;
    std::wstring expected(address.expectedMd5.begin(), address.expectedMd5.end());
    return DigestTextsMatch(FileMd5(target), expected);
}

// The swarm's figures, for tasks that went through it.
std::string SwarmText(const Status& s) {
    if (!s.swarm) return std::string();
    char text[256];
    std::snprintf(text, sizeof(text),
                  " swarm=1 peer_bytes=%llu peer_speed=%u upload=%llu upload_speed=%u "
                  "failed=%llu banned=%u",
                  static_cast<unsigned long long>(s.peerBytes), s.peerSpeed,
                  static_cast<unsigned long long>(s.uploaded), s.uploadSpeed,
                  static_cast<unsigned long long>(s.failed), s.banned);
    return text;
}

void Serve(const Engine& engine, int id, const Options& o) {
    for (DWORD waited = 0; waited < o.serveSeconds * 1000; waited += o.intervalMs) {
        Sleep(o.intervalMs);
        if (o.quiet) continue;
        const Status s = QueryStatus(engine, id);
        std::printf("serving%s\n", SwarmText(s).c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: p2sp-get [--engine DLL] [--seeds TEXT] [--tune TEXT] "
                     "[--interval MS] [--pause-at BYTES] [--quiet] [--overwrite] "
                     "[--serve-for SECONDS] URL TARGET\n");
        return 2;
    }
    uint64_t size = 0;
    if (!o.overwrite && TargetComplete(o.url, FullPath(o.target), size)) {
        std::printf("already complete: %ls (--overwrite downloads it again)\n",
                    FullPath(o.target).c_str());
        std::printf(
            "final state=1 done=%llu total=%llu wire=0 duplicates=0 resumed=%llu "
            "seconds=0.000 max_query_ms=0.000\n",
            static_cast<unsigned long long>(size), static_cast<unsigned long long>(size),
            static_cast<unsigned long long>(size));
        return 0;
    }
    Engine engine;
    if (!engine.Load(o.engine)) {
        std::fprintf(stderr, "cannot load the engine module %ls\n", o.engine.c_str());
        return 2;
    }
    engine.init(0);
    engine.setOption(3, o.seeds.c_str(), static_cast<int>(o.seeds.size() * 2));
    if (!o.tune.empty()) engine.setOption(100, o.tune.c_str(), static_cast<int>(o.tune.size() * 2));
    int id = engine.create(nullptr, o.url.c_str(), FullPath(o.target).c_str());
    if (id >= 0) PrintCreatedProgress(engine, id);
    if (id < 0 || engine.start(id) != 1) {
        std::fprintf(stderr, "the engine refused the task\n");
        engine.uninit();
        return 2;
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    double maxQueryMs = 0;
    Status s;
    for (;;) {
        unsigned char record[596];
        std::memset(record, 0, sizeof(record));
        LARGE_INTEGER q0, q1;
        QueryPerformanceCounter(&q0);
        engine.query(id, record);
        QueryPerformanceCounter(&q1);
        double ms = 1000.0 * static_cast<double>(q1.QuadPart - q0.QuadPart) / freq.QuadPart;
        if (ms > maxQueryMs) maxQueryMs = ms;
        s = ReadRecord(record);
        if (!o.quiet) {
            std::printf("progress done=%llu total=%llu origin=%u seeds=%u state=%u%s\n",
                        static_cast<unsigned long long>(s.done),
                        static_cast<unsigned long long>(s.total), s.originSpeed, s.seedSpeed,
                        s.state, SwarmText(s).c_str());
            std::fflush(stdout);
        }
        if (s.state != 0) break;
        if (o.pauseAt && s.done >= o.pauseAt) {
            o.pauseAt = 0;
            LARGE_INTEGER s0, s1;
            QueryPerformanceCounter(&s0);
            int stopped = engine.stop(id);
            QueryPerformanceCounter(&s1);
            std::printf("paused stop=%d stop_ms=%.1f\n", stopped,
                        1000.0 * static_cast<double>(s1.QuadPart - s0.QuadPart) / freq.QuadPart);
            std::fflush(stdout);
            Sleep(1000);
            int started = engine.start(id);
            std::printf("resumed start=%d\n", started);
            std::fflush(stdout);
        }
        Sleep(o.intervalMs);
    }
    QueryPerformanceCounter(&t1);
    double seconds = static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart;
    if (s.state == 1) Serve(engine, id, o);
    engine.stop(id);
    engine.uninit();
    std::printf(
        "final state=%u done=%llu total=%llu wire=%llu duplicates=%llu resumed=%llu "
        "seconds=%.3f max_query_ms=%.3f%s\n",
        s.state, static_cast<unsigned long long>(s.done), static_cast<unsigned long long>(s.total),
        static_cast<unsigned long long>(s.wire), static_cast<unsigned long long>(s.duplicates),
        static_cast<unsigned long long>(s.resumed), seconds, maxQueryMs, SwarmText(s).c_str());
    std::fflush(stdout);
    return s.state == 1 ? 0 : 1;
}
