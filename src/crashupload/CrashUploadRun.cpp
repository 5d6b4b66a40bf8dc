#include "crashupload/CrashUploadRun.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "crashupload/CrashUploadRules.h"
#include "crashupload/DumpUpload.h"
#include "crashupload/PendingDump.h"
#include "probes/FileProbes.h"
#include "transfer/ClientId.h"

namespace {

// The identity module is unpacked under a name of this process's own, so that a running
// copy of the program and a second uploader never share the file.
std::wstring IdentityModulePath() {
    std::wstring temp = GetTempFolder();
    if (temp.empty()) return std::wstring();
    return temp + L"Plorex" + std::to_wstring(::GetCurrentProcessId()) + L"verify.dll";
}

}  // namespace

CCrashUploadRun::CCrashUploadRun(std::wstring dumpPath, CrashUploadSettings settings)
    : dumpPath_(std::move(dumpPath)), settings_(std::move(settings)), progress_(::GetTickCount()) {}

int CCrashUploadRun::Run() {
    size_t slash = dumpPath_.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return 0;
    std::wstring folder = dumpPath_.substr(0, slash + 1);
    std::wstring programFile;
    int number = 0;
    if (!ParseDumpFileName(dumpPath_.substr(slash + 1), &programFile, &number)) return 0;

    // The new dump first, then the older ones by number.
    std::vector<std::pair<std::wstring, int>> dumps = {{dumpPath_, number}};
    std::vector<std::wstring> names = DumpFileNames(programFile);
    for (int other = 0; other < static_cast<int>(names.size()); ++other) {
        if (other != number) dumps.emplace_back(folder + names[static_cast<size_t>(other)], other);
    }
    int received = 0;
    bool serverReachable = true;
    for (const auto& dump : dumps) {
        if (!serverReachable) break;
        if (SendOne(dump.first, dump.second, &serverReachable)) ++received;
    }
    return received;
}

bool CCrashUploadRun::SendOne(const std::wstring& path, int number, bool* serverReachable) {
    progress_.store(::GetTickCount());
    CPendingDump dump;
    if (!dump.Open(path)) return false;
    CrashUploadInfo info;
    info.packageId = settings_.packageId;
    info.version = settings_.version;
    info.clientId = ClientId();
    info.written = dump.LastWritten();
    info.number = number;
    DumpUploadTarget target;
    if (!SplitHostAndPort(settings_.statsServer, &target.host, &target.port)) {
        *serverReachable = false;
        return false;
    }
    target.path = BuildCrashUploadPath(info);
    UploadResult result = UploadDump(target, dump.Bytes(), &progress_);
    if (result == UploadResult::kNoAnswer) *serverReachable = false;
    return result == UploadResult::kReceived && dump.Delete();
}

const std::wstring& CCrashUploadRun::ClientId() {
    if (!clientIdAsked_) {
        clientIdAsked_ = true;
        CClientIdSource source(&IdentityModulePath);
        source.Get(&clientId_);
    }
    return clientId_;
}
