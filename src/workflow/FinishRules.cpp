#include "workflow/FinishRules.h"

#include "config/PackageFileName.h"
#include "prompts/PromptResult.h"
#include "workflow/ButtonModes.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/FolderCheck.h"

namespace {

std::wstring FileNameOf(const PackageFile& file) {
    std::wstring name;
    PackageFileNameOf(file, &name);
    return name;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:\..." or "\\server\share\...": a folder that does not depend on the current directory.
bool IsAbsoluteFolder(const std::wstring& folder) {
    if (folder.size() >= 3 && IsAsciiLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\') {
        return true;
    }
    return folder.size() > 2 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\';
}

}  // namespace

bool IsProgramInsideFolder(const std::wstring& relative) {
    if (relative.empty()) return false;
    size_t start = 0;
    for (;;) {
        size_t end = relative.find(L'\\', start);
        std::wstring part = relative.substr(start, end == std::wstring::npos ? end : end - start);
        // An empty part is a rooted, UNC or doubled-separator path; the rest IsPlainFileName
        // refuses ("..", ".", a drive's colon, "/", device names, trailing dots).
        if (!IsPlainFileName(part)) return false;
        if (end == std::wstring::npos) return true;
        start = end + 1;
    }
}

InstallPlan PlanInstall(const IFolderView& view, const std::wstring& folder,
                        const std::deque<PackageFile>& files, const std::wstring& gameStart,
                        bool checkFailed) {
    InstallPlan plan;
    bool oneFile = files.size() < 2;
    plan.problem = oneFile ? InstallProblem::kDamaged : InstallProblem::kFileError;
    if (folder.empty() || checkFailed) return plan;
    std::wstring relative =
        oneFile ? (files.empty() ? std::wstring() : FileNameOf(files.front())) : gameStart;
    if (!IsProgramInsideFolder(relative)) return plan;
    std::wstring program = WithTrailingBackslash(folder) + relative;
    if (!view.FileExists(program)) return plan;
    plan.program = program;
    plan.problem = InstallProblem::kNone;
    return plan;
}

OpenFolderPlan PlanOpenFolder(const IFolderView& view, const std::wstring& folder,
                              const std::deque<PackageFile>& pending) {
    OpenFolderPlan plan;
    if (folder.empty() || !view.FolderExists(folder)) return plan;
    std::wstring base = WithTrailingBackslash(folder);
    std::wstring name = pending.empty() ? std::wstring() : FileNameOf(pending.front());
    if (!name.empty()) {
        for (const wchar_t* suffix : {L".P2P", L""}) {
            if (view.FileExists(base + name + suffix)) {
                plan.action = OpenFolderAction::kSelect;
                plan.path = base + name + suffix;
                return plan;
            }
        }
    }
    plan.action = OpenFolderAction::kOpen;
    plan.path = base;
    return plan;
}

CheckFailedOutcome DecideCheckFailed(int result, size_t packageFiles, size_t pendingFiles) {
    CheckFailedOutcome outcome;
    switch (result) {
        case kPromptExtraButton:
            outcome.stopWorker = true;
            if (packageFiles < 2 || pendingFiles < 2) {
                outcome.buttonMode = kModeInstall;
                outcome.command = kOpenFolderCommand;
            } else {
                outcome.command = kRedownloadCommand;
            }
            break;
        case kPromptClosed:
        case kPromptSecondButton:
            outcome.stopWorker = true;
            outcome.buttonMode = pendingFiles == 1 ? kModeInstall : kModeRedownload;
            break;
        case kPromptFeedbackLink:
            outcome.stopWorker = true;
            break;
        default:  // unanswered: the program is ending
            break;
    }
    return outcome;
}

CheckFailedOutcome DecideDamagedFile(int result) {
    CheckFailedOutcome outcome;
    if (result != kPromptExtraButton) return outcome;
    outcome.stopWorker = true;
    outcome.command = kRedownloadCommand;
    return outcome;
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b) {
    std::wstring left = WithTrailingBackslash(a);
    std::wstring right = WithTrailingBackslash(b);
    if (left.size() != right.size()) return false;
    for (size_t i = 0; i < left.size(); ++i) {
        wchar_t x = left[i], y = right[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::wstring> PackageFilePaths(const std::wstring& folder,
                                           const std::deque<PackageFile>& files,
                                           bool withPartials) {
    std::vector<std::wstring> paths;
    if (!IsAbsoluteFolder(folder)) return paths;
    std::wstring base = WithTrailingBackslash(folder);
    for (const PackageFile& file : files) {
        std::wstring name = FileNameOf(file);
        if (name.empty()) continue;
        paths.push_back(base + name);
        if (!withPartials) continue;
        for (const wchar_t* suffix : {L".P2P", L".P2P.rec", L".P2P.rec.tmp"}) {
            paths.push_back(base + name + suffix);
        }
    }
    return paths;
}
