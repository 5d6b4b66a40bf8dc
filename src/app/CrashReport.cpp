#include "app/CrashReport.h"

#include <dbghelp.h>
#include <shlwapi.h>

#include "app/CrashReportText.h"
#include "base/ScopedHandle.h"

namespace {

constexpr wchar_t kCompanionAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\quillet.exe";

bool IsFolder(const wchar_t* path) {
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const wchar_t* path) {
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsOnLocalDrive(const wchar_t* path) {
    wchar_t root[] = L"X:\\";
    root[0] = path[0];
    switch (::GetDriveTypeW(root)) {
        case DRIVE_FIXED:
        case DRIVE_REMOVABLE:
        case DRIVE_RAMDISK:
            return true;
        default:
            return false;
    }
}

// The companion product's install folder when it is registered and the value names an
// existing folder on a local drive. The value belongs to another product: a relative,
// network or device path, or one that names nothing, is not taken as the place to write.
bool ReadCompanionFolder(wchar_t* folder, size_t capacity) {
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>((capacity - 1) * sizeof(wchar_t));
    folder[0] = L'\0';
    if (::SHGetValueW(HKEY_LOCAL_MACHINE, kCompanionAppPathsKey, L"path", &type, folder, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        folder[0] = L'\0';
        return false;
    }
    folder[bytes / sizeof(wchar_t)] = L'\0';  // a value stored without its terminator
    if (!IsAbsoluteDrivePath(folder) || !IsFolder(folder) || !IsOnLocalDrive(folder)) {
        folder[0] = L'\0';
        return false;
    }
    return true;
}

// The companion's folder or the program's, + "\dump" when that folder exists or can be
// made; otherwise the program's folder itself.
void ChooseDumpFolder(const wchar_t* programFolder, wchar_t* dumpFolder, size_t capacity) {
    wchar_t base[kCrashPathChars] = {};
    if (!ReadCompanionFolder(base, kCrashPathChars)) {
        base[0] = L'\0';
        AppendText(base, kCrashPathChars, programFolder);
    }
    wchar_t candidate[kCrashPathChars] = {};
    if (JoinPath(candidate, kCrashPathChars, base, kDumpSubfolder) &&
        (IsFolder(candidate) || ::CreateDirectoryW(candidate, nullptr))) {
        dumpFolder[0] = L'\0';
        AppendText(dumpFolder, capacity, candidate);
        return;
    }
    dumpFolder[0] = L'\0';
    AppendText(dumpFolder, capacity, programFolder);
}

// The first free number 000..009, else 010 (overwritten by every later crash).
bool ChooseDumpPath(const wchar_t* dumpFolder, const wchar_t* programFile, wchar_t* path) {
    for (int number = 0; number < kDumpNumbers; ++number) {
        if (!FormatDumpPath(path, kCrashPathChars, dumpFolder, programFile, number)) return false;
        if (!::PathFileExistsW(path)) return true;
    }
    return FormatDumpPath(path, kCrashPathChars, dumpFolder, programFile, kDumpNumbers);
}

BOOL CALLBACK AcceptEveryItem(PVOID, const PMINIDUMP_CALLBACK_INPUT, PMINIDUMP_CALLBACK_OUTPUT) {
    return TRUE;
}

void WriteDumpFile(const wchar_t* path, EXCEPTION_POINTERS* pointers, DWORD faultingThreadId) {
    CScopedHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    MINIDUMP_EXCEPTION_INFORMATION exception = {};
    exception.ThreadId = faultingThreadId;
    exception.ExceptionPointers = pointers;
    exception.ClientPointers = FALSE;  // our own process's pointers
    MINIDUMP_CALLBACK_INFORMATION callback = {};
    callback.CallbackRoutine = &AcceptEveryItem;
    // The dump needs no symbols. Without a symbol session of its own the dump writer of
    // some systems (Wine's) opens one that reads every module's debug information first,
    // which takes seconds.
    ::SymSetOptions(::SymGetOptions() | SYMOPT_DEFERRED_LOADS);
    ::SymInitializeW(::GetCurrentProcess(), nullptr, FALSE);
    ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(),
                        MiniDumpWithIndirectlyReferencedMemory, pointers ? &exception : nullptr,
                        nullptr, &callback);
}

// Starts the uploader from the program's own folder by its full path, never by a search
// that could find a file of the same name in the current folder or on PATH.
void StartUploader(const wchar_t* programFolder, const wchar_t* dumpPath) {
    wchar_t uploader[kCrashPathChars] = {};
    if (!JoinPath(uploader, kCrashPathChars, programFolder, kUploaderFileName) || !IsFile(uploader))
        return;
    wchar_t commandLine[kUploaderCommandChars] = {};
    FormatUploaderCommandLine(commandLine, kUploaderCommandChars, dumpPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(uploader, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                          programFolder, &startup, &process))
        return;
    // Not waited for: the uploader outlives the crashed program.
    CScopedHandle uploaderProcess(process.hProcess);
    CScopedHandle uploaderThread(process.hThread);
}

}  // namespace

void WriteCrashReport(EXCEPTION_POINTERS* pointers, DWORD faultingThreadId) {
    wchar_t modulePath[kCrashPathChars] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, modulePath, kCrashPathChars);
    if (length == 0 || length >= kCrashPathChars) return;
    wchar_t programFolder[kCrashPathChars] = {};
    AppendText(programFolder, kCrashPathChars, modulePath);
    ::PathRemoveFileSpecW(programFolder);

    wchar_t dumpFolder[kCrashPathChars] = {};
    ChooseDumpFolder(programFolder, dumpFolder, kCrashPathChars);
    if (dumpFolder[0] == L'\0') return;

    wchar_t dumpPath[kCrashPathChars] = {};
    if (!ChooseDumpPath(dumpFolder, FileNamePart(modulePath), dumpPath)) return;
    WriteDumpFile(dumpPath, pointers, faultingThreadId);
    if (IsFile(dumpPath)) StartUploader(programFolder, dumpPath);
}
