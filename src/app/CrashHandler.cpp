#include "app/CrashHandler.h"

#include <windows.h>

#include <delayimp.h>
#include <signal.h>
#include <stdlib.h>

#include <atomic>
#include <exception>

#include "app/CrashReport.h"
#include "base/ScopedHandle.h"

namespace {

// Longest a faulting thread waits for its report before the process ends anyway: a report
// that hangs (a lock held by a frozen thread, a stalled disk) must not keep a dead program
// on the screen.
constexpr DWORD kReportTimeoutMs = 30000;

// The reporter thread sleeps until a crash hands it the exception; the faulting thread
// waits for it with a time-out. The dump is written on a healthy stack, and a fault in the
// reporter's own work ends the process at once instead of running the filter again.
struct CrashHandlerState {
    std::atomic<bool> disarmed{false};
    std::atomic<DWORD> reportingThread{0};  // the first thread that crashed
    HANDLE crashed = nullptr;               // set by the faulting thread
    HANDLE reported = nullptr;              // set by the reporter thread
    DWORD reporterThread = 0;
    EXCEPTION_POINTERS* pointers = nullptr;
    DWORD faultingThread = 0;
};

CrashHandlerState g_crash;  // process-wide, never destroyed while threads run

DWORD WINAPI ReporterThread(void*) {
    ::WaitForSingleObject(g_crash.crashed, INFINITE);
    WriteCrashReport(g_crash.pointers, g_crash.faultingThread);
    ::SetEvent(g_crash.reported);
    return 0;
}

void StartReporterThread() {
    if (g_crash.crashed) return;
    g_crash.crashed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_crash.reported = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_crash.crashed || !g_crash.reported) return;
    // Small stack reserve: the thread only writes the dump. It is never waited for by handle.
    CScopedHandle thread(::CreateThread(nullptr, 256 * 1024, &ReporterThread, nullptr,
                                        STACK_SIZE_PARAM_IS_A_RESERVATION,
                                        &g_crash.reporterThread));
}

void ReportCrash(EXCEPTION_POINTERS* pointers, DWORD faultingThread) {
    if (g_crash.reporterThread == 0) {
        // No reporter thread could be started: report from the faulting thread itself.
        WriteCrashReport(pointers, faultingThread);
        return;
    }
    g_crash.pointers = pointers;
    g_crash.faultingThread = faultingThread;
    ::SetEvent(g_crash.crashed);
    ::WaitForSingleObject(g_crash.reported, kReportTimeoutMs);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
    if (g_crash.disarmed.load()) return EXCEPTION_EXECUTE_HANDLER;
    DWORD self = ::GetCurrentThreadId();
    // A fault while the report is being written: end the process now.
    if (self == g_crash.reporterThread) return EXCEPTION_EXECUTE_HANDLER;
    DWORD none = 0;
    if (!g_crash.reportingThread.compare_exchange_strong(none, self)) {
        // Another thread is reporting its crash: let it finish before the process ends.
        // The same thread here means the filter itself faulted: do not start over.
        if (none != self && g_crash.reported)
            ::WaitForSingleObject(g_crash.reported, kReportTimeoutMs);
        return EXCEPTION_EXECUTE_HANDLER;
    }
    ReportCrash(pointers, self);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A function of the run-time library's DLL itself, which not every version of the DLL has;
// null where it is missing.
template <class Function>
Function RuntimeLibraryFunction(const char* name) {
    HMODULE runtime = ::GetModuleHandleW(L"msvcrt.dll");
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(runtime ? ::GetProcAddress(runtime, name) : nullptr));
}

// The run-time library's own parameter checks live in msvcrt.dll, while the
// _set_invalid_parameter_handler that this toolchain links is a stand-in that the DLL never
// calls. Where the DLL takes a handler itself (recent Windows), it gets ours too.
void HandOverToRuntimeLibrary() {
    using Handler =
        void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t);
    using SetHandler = Handler(__cdecl*)(Handler);
    auto set = RuntimeLibraryFunction<SetHandler>("_set_invalid_parameter_handler");
    if (set) set(&OnInvalidParameter);
}

// Exit code of a process ended by std::terminate or abort(), as the run-time library's own.
constexpr UINT kAbnormalEndExitCode = 3;

// A failure that raised no exception of its own (std::terminate, abort()) is reported like
// a fault: the calling thread's context stands in for the fault's, under the code the
// run-time library gives an abnormal end. The process then ends without the library's
// message or any clean-up.
void ReportAbnormalEnd() {
    CONTEXT context = {};
    ::RtlCaptureContext(&context);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = STATUS_FATAL_APP_EXIT;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    EXCEPTION_POINTERS pointers = {&record, &context};
    CrashFilter(&pointers);
    ::TerminateProcess(::GetCurrentProcess(), kAbnormalEndExitCode);
}

void OnTerminate() { ReportAbnormalEnd(); }

void __cdecl OnAbortSignal(int) { ReportAbnormalEnd(); }

// Windows' run-time library writes its abort message before it raises SIGABRT, in a program
// with windows as a message box, which would keep a failed program on the screen without a
// report. Where the library lets the message be turned off it is; otherwise it goes to the
// error output, which a program with windows does not have.
void SilenceAbortMessage() {
    using SetAbortBehavior = unsigned int(__cdecl*)(unsigned int, unsigned int);
    auto set = RuntimeLibraryFunction<SetAbortBehavior>("_set_abort_behavior");
    if (set) set(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    _set_error_mode(_OUT_TO_STDERR);
}

void CatchAbnormalEnds() {
    std::set_terminate(&OnTerminate);
    ::signal(SIGABRT, &OnAbortSignal);
    SilenceAbortMessage();
}

// The dump writer's module is loaded on first use; a crash must not be the first use, since
// loading a module inside a crash can wait forever on a loader lock the crashed thread holds.
void LoadDumpWriter() { __HrLoadAllImportsForDll("dbghelp.dll"); }

}  // namespace

void InstallCrashHandler() {
    LoadDumpWriter();
    StartReporterThread();
    ::SetUnhandledExceptionFilter(&CrashFilter);
    HandOverToRuntimeLibrary();
    CatchAbnormalEnds();
}

void DisarmCrashHandler() { g_crash.disarmed.store(true); }

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {
    ::RaiseException(EXCEPTION_BREAKPOINT, 0, 0, nullptr);
}
