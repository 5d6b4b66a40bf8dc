// vexa_crash_child: a program that links the crash handler the way the real program does
// and then fails on demand. Before failing it writes the faulting thread's identifier into
// "fault-thread.txt" beside itself, so that a test can find that thread in the dump.
//
//   vexa_crash_child MODE [MEGABYTES]
//     access-violation   writes through a null pointer on the first thread
//     invalid-parameter  a run-time library call with a parameter it refuses, then the
//                        installed parameter handler as the library calls it
//     worker-thread      writes through a null pointer on a second thread
//     two-threads        two threads write through a null pointer at the same moment
//     stack-overflow     recurses until the stack is gone
//     terminate          std::terminate() on the first thread
//     abort              abort() in a program with windows, as the program is (Windows'
//                        run-time library then shows a message box first)
//     worker-exception   a C++ exception escapes a second thread
//     starting-fault     an access violation while the process-wide objects are made,
//                        before the entry point
//     disarmed           disarms the handler first, then an access violation
//     filter-fault       runs the installed filter with exception pointers that point
//                        nowhere, so that writing the dump itself faults
//     busy               MEGABYTES of touched memory, then an access violation; prints the
//                        QueryPerformanceCounter value at the fault (for the benchmark)
//     busy-disarmed      the same with the handler disarmed: the process only ends

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/CrashHandler.h"
#include "app/ProcessGuardInstance.h"
#include "base/ProcessObjectOrder.h"

extern "C" void __cdecl __set_app_type(int);  // the run-time library's; 2: a program with windows

namespace {

void NoteFaultingThread() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring note(path);
    note.resize(note.find_last_of(L'\\') + 1);
    note += L"fault-thread.txt";
    char text[32];
    int length = std::snprintf(text, sizeof(text), "%lu", ::GetCurrentThreadId());
    HANDLE file = ::CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
    ::CloseHandle(file);
}

void WriteThroughNull() {
    NoteFaultingThread();
    volatile int* nowhere = nullptr;
    *nowhere = 42;
}

DWORD WINAPI WorkerThread(void*) {
    WriteThroughNull();
    return 0;
}

DWORD WINAPI ThrowingThread(void*) {
    NoteFaultingThread();
    throw std::runtime_error("no one catches this");
}

void RunThread(LPTHREAD_START_ROUTINE body) {
    HANDLE thread = ::CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
}

// Made in the place of the program's first process-wide object after the guard.
struct CFaultWhileStarting {
    CFaultWhileStarting() {
        if (std::wcsstr(::GetCommandLineW(), L" starting-fault")) WriteThroughNull();
    }
};
CFaultWhileStarting g_faultWhileStarting VEXA_PROCESS_OBJECT(kSkinResourcesOrder);

HANDLE g_go = nullptr;

DWORD WINAPI WorkerOnSignal(void*) {
    ::WaitForSingleObject(g_go, INFINITE);
    volatile int* nowhere = nullptr;
    *nowhere = 7;
    return 0;
}

int Recurse(volatile int depth) {
    volatile char block[4096];
    block[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + block[0];
}

void FaultInsideTheFilter() {
    NoteFaultingThread();
    LPTOP_LEVEL_EXCEPTION_FILTER filter = ::SetUnhandledExceptionFilter(nullptr);
    ::SetUnhandledExceptionFilter(filter);
    filter(reinterpret_cast<EXCEPTION_POINTERS*>(static_cast<uintptr_t>(0x10)));
}

void TouchMemory(size_t megabytes, std::vector<char*>* blocks) {
    for (size_t i = 0; i < megabytes; ++i) {
        char* block = static_cast<char*>(std::malloc(1 << 20));
        if (!block) break;
        std::memset(block, static_cast<int>(i), 1 << 20);
        blocks->push_back(block);  // some pointers on the heap point at the others
    }
}

}  // namespace

// Links the guard the way the program's list of process-wide objects does.
extern const void* const kChildProcessObjects[];
const void* const kChildProcessObjects[] = {&g_ProcessGuard};

int wmain(int argc, wchar_t** argv) {
    InstallCrashHandler();
    _set_invalid_parameter_handler(&OnInvalidParameter);
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"access-violation") WriteThroughNull();
    if (mode == L"invalid-parameter") {
        NoteFaultingThread();
        wchar_t small[4];
        wcscpy_s(small, 4, L"far too long for four characters");
        // A run-time library that keeps its handler to itself (Wine's msvcrt) only logs the
        // error: report it the way a library that honours the handler does.
        _invalid_parameter_handler handler = _get_invalid_parameter_handler();
        if (handler) handler(L"small", L"wmain", L"CrashChild.cpp", __LINE__, 0);
    }
    if (mode == L"worker-thread") RunThread(&WorkerThread);
    if (mode == L"worker-exception") RunThread(&ThrowingThread);
    if (mode == L"terminate") {
        NoteFaultingThread();
        std::terminate();
    }
    if (mode == L"abort") {
        __set_app_type(2);
        NoteFaultingThread();
        std::abort();
    }
    if (mode == L"two-threads") {
        g_go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE threads[] = {::CreateThread(nullptr, 0, &WorkerOnSignal, nullptr, 0, nullptr),
                            ::CreateThread(nullptr, 0, &WorkerOnSignal, nullptr, 0, nullptr)};
        ::Sleep(100);  // both are waiting (the test does not depend on it)
        ::SetEvent(g_go);
        ::WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    }
    if (mode == L"stack-overflow") {
        NoteFaultingThread();
        return Recurse(0);
    }
    if (mode == L"disarmed") {
        DisarmCrashHandler();
        WriteThroughNull();
    }
    if (mode == L"filter-fault") FaultInsideTheFilter();
    if (mode == L"busy" || mode == L"busy-disarmed") {
        if (mode == L"busy-disarmed") DisarmCrashHandler();
        std::vector<char*> blocks;
        TouchMemory(argc > 2 ? static_cast<size_t>(_wtoi(argv[2])) : 100, &blocks);
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        std::printf("%lld\n", static_cast<long long>(now.QuadPart));
        std::fflush(stdout);
        WriteThroughNull();
    }
    return 77;  // nothing failed
}
