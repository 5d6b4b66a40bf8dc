#include "crash/CrashRun.h"

#include <cstring>

#include "support/ScratchFolder.h"

namespace {

constexpr uint32_t kThreadListStream = 3;
constexpr uint32_t kExceptionStream = 6;

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0;
    uint32_t value;
    std::memcpy(&value, &bytes[at], 4);
    return value;
}

void ReadThreadList(const std::vector<uint8_t>& bytes, size_t at, DumpSummary* summary) {
    uint32_t count = Read32(bytes, at);
    constexpr size_t kThreadEntryBytes = 48;  // MINIDUMP_THREAD
    for (uint32_t i = 0; i < count && at + 4 + (i + 1) * kThreadEntryBytes <= bytes.size(); ++i)
        summary->threads.push_back(Read32(bytes, at + 4 + i * kThreadEntryBytes));
}

}  // namespace

CrashRunResult RunCrashProgram(const std::wstring& program, const std::wstring& mode,
                               const std::wstring& currentFolder, DWORD waitMs) {
    CrashRunResult result;
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        result.startError = ::GetLastError();
        return result;
    }
    std::wstring commandLine = L"\"" + program + L"\" " + mode;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // A start refused by a machine short of resources for a moment is tried again; the
    // error of the last attempt is kept for the report.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0) ::Sleep(200 * attempt);
        started = ::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                   CREATE_SUSPENDED, nullptr, currentFolder.c_str(), &startup,
                                   &process) != FALSE;
        if (!started) result.startError = ::GetLastError();
    }
    if (!started) {
        ::CloseHandle(job);
        return result;
    }
    result.startError = 0;
    ::AssignProcessToJobObject(job, process.hProcess);
    ::ResumeThread(process.hThread);
    result.ended = ::WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0;
    if (!result.ended) ::TerminateProcess(process.hProcess, 99);
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                    sizeof(accounting), nullptr))
        result.processesStarted = accounting.TotalProcesses;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(job);
    return result;
}

DumpSummary ReadDumpSummary(const std::wstring& path) {
    DumpSummary summary;
    std::vector<uint8_t> bytes = CScratchFolder::Read(path);
    summary.isMinidump = bytes.size() >= 32 && std::memcmp(bytes.data(), "MDMP", 4) == 0;
    if (!summary.isMinidump) return summary;
    uint32_t streams = Read32(bytes, 8);
    uint32_t directory = Read32(bytes, 12);
    for (uint32_t i = 0; i < streams; ++i) {
        size_t entry = directory + size_t(i) * 12;
        uint32_t type = Read32(bytes, entry);
        uint32_t rva = Read32(bytes, entry + 8);
        if (type == kExceptionStream && rva + 12 <= bytes.size()) {
            summary.hasException = true;
            summary.faultingThread = Read32(bytes, rva);
            summary.exceptionCode = Read32(bytes, rva + 8);
        } else if (type == kThreadListStream) {
            ReadThreadList(bytes, rva, &summary);
        }
    }
    return summary;
}

bool WaitForFile(const std::wstring& path, DWORD waitMs) {
    DWORD start = ::GetTickCount();
    while (!CScratchFolder::Exists(path)) {
        if (::GetTickCount() - start > waitMs) return false;
        ::Sleep(50);
    }
    return true;
}
