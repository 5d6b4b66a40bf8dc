// vexa_crash_bench: how long a crash takes from the fault to the end of the process with a
// large working set, with the crash report and (for reference) without it, and how large
// the dump is. Prints figures only; run by scripts/bench/crash.sh under Wine.
//
//   vexa_crash_bench MEGABYTES RUNS

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace {

// Seconds from the fault (as the child reports it) to the end of the child; negative when
// the run failed.
double FaultToExit(const std::wstring& program, const std::wstring& mode, int megabytes) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring line = L"\"" + program + L"\" " + mode + L" " + std::to_wstring(megabytes);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    BOOL started = ::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                    nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return -1;
    }
    char text[64] = {};
    DWORD got = 0;
    ::ReadFile(readEnd, text, sizeof(text) - 1, &got, nullptr);  // the fault's counter value
    ::WaitForSingleObject(process.hProcess, INFINITE);
    LARGE_INTEGER end, frequency;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(readEnd);
    long long fault = _atoi64(text);
    if (fault <= 0) return -1;
    return double(end.QuadPart - fault) / double(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int megabytes = argc > 1 ? _wtoi(argv[1]) : 100;
    int runs = argc > 2 ? _wtoi(argv[2]) : 5;
    CScratchFolder scratch;
    std::wstring program = scratch / L"crashing.exe";
    if (!::CopyFileW(BesideTest(L"vexa_crash_child.exe").c_str(), program.c_str(), FALSE)) {
        std::fprintf(stderr, "vexa_crash_child.exe is missing\n");
        return 1;
    }
    std::vector<double> reported, plain, dumpBytes;
    for (int i = 0; i < runs; ++i) {
        reported.push_back(FaultToExit(program, L"busy", megabytes));
        std::wstring dump = scratch / L"dump\\crashing.exe_000.dmp";
        dumpBytes.push_back(double(CScratchFolder::Read(dump).size()));
        ::DeleteFileW(dump.c_str());
        plain.push_back(FaultToExit(program, L"busy-disarmed", megabytes));
    }
    std::printf("working set                      %d MiB, median of %d runs\n", megabytes, runs);
    std::printf("fault to exit, with crash report %.3f s\n", Median(reported));
    std::printf("fault to exit, handler disarmed  %.3f s   (reference: the process only ends)\n",
                Median(plain));
    std::printf("dump size                        %.0f bytes\n", Median(dumpBytes));
    return 0;
}
