// The companion product offer: the check box, the companion download before the game file,
// its silent installation and the reports.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <process.h>

#include <functional>
#include <memory>

#include "config/DownloaderConfig.h"
#include "config/PackageFileName.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"
#include "probes/FileTrust.h"
#include "probes/ProcessProbes.h"
#include "probes/ProductProbes.h"
#include "prompts/PromptDownloadQuilletDlg.h"
#include "prompts/PromptFamily.h"
#include "stats/ReportUrlInstance.h"
#include "stats/StatisticsMgr.h"
#include "transfer/ClientId.h"
#include "workflow/CompanionChoice.h"
#include "workflow/DLDlg.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

namespace {

constexpr wchar_t kCompanionMutex[] = L"quilletdownloading_{947FA079-EA1A-4987-BE02-F4E20A20CD1C}";
// The companion's installer is fetched into a folder of its own under the temporary folder:
// its name comes from the configuration document, and beside the program's own files (the
// settings file, the unpacked modules) a hostile name could replace one of them.
constexpr wchar_t kCompanionFolder[] = L"VexaCompanion\\";

// What the install thread needs, copied: it touches no window state.
struct CompanionInstall {
    std::wstring fileName;
    std::wstring target;
    std::wstring folder;
    std::function<bool(const std::wstring&)> isTrusted;
    std::function<bool(const std::wstring&, const std::wstring&, const std::wstring&)> start;
};

bool StartHidden(const std::wstring& path, const std::wstring& parameters,
                 const std::wstring& folder) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path.c_str();  // the full path: never a name the shell searches for
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) return false;
    CScopedHandle process(info.hProcess);  // not waited for
    return true;
}

unsigned __stdcall CompanionInstallThread(void* argument) {
    std::unique_ptr<CompanionInstall> job(static_cast<CompanionInstall*>(argument));
    if (job->fileName.empty() || IsQuilletInstalled()) return 0;
    if (!FileExists(job->target.c_str())) return 0;
    // A download over plain HTTP is started only when its signature verifies.
    if (!job->isTrusted(job->target)) return 0;
    job->start(job->target, L"/S", job->folder);
    return 0;
}

}  // namespace

bool CDLDlg::OfferCompanion() {
    if (IsQuilletInstalled()) return false;
    SendClientAppReport(L"statLogQuilletMuldownUrl", false);
    return true;
}

void CDLDlg::OnCompanionBoxCommand() {
    switch (DecideCompanionBox(IsQuilletInstalled(), view_.CompanionBoxTicked())) {
        case CompanionBoxAction::kSayInstalled: {
            CQuilletInstalledDlg prompt;
            prompt.SetMessage(kCompanionInstalledText);
            RunPrompt(prompt, nullptr, false);
            view_.SetCompanionBox(false);
            break;
        }
        case CompanionBoxAction::kAskBeforeDropping: {
            view_.SetCompanionBox(false);
            CPromptDownloadQuilletDlg prompt;
            prompt.SetTip(services_.config->GetCancelDownloadTips());
            if (RunPrompt(prompt, nullptr, false) == kPromptExtraButton) {
                view_.SetCompanionBox(true);
            }
            break;
        }
        default:
            break;
    }
    if (closing_) return;
    Trace(view_.CompanionBoxTicked() ? L"companion ticked" : L"companion unticked");
    RefreshProgress();
    state_.SaveQuilletChoice(view_.CompanionBoxTicked() ? 1 : 0);
}

// A package without a usable companion link has no companion to count or download.
bool CDLDlg::CompanionTicked() const {
    return view_.CompanionBoxTicked() && !CompanionFileName().empty();
}

bool CDLDlg::CompanionActive() const { return CompanionTicked() && companionTask_ != kNoTask; }

std::wstring CDLDlg::CompanionFileName() const {
    std::wstring name = PackageFileNameOf(services_.config->GetQuilletDownloaderLink());
    return IsPlainFileName(name) ? name : std::wstring();
}

std::wstring CDLDlg::CompanionTarget() const {
    std::wstring name = CompanionFileName();
    if (name.empty()) return {};
    return GetTempFolder(targetFolder_) + kCompanionFolder + name;
}

bool CDLDlg::ClaimCompanionMutex() {
    HANDLE mutex = nullptr;
    bool existed = ClaimNamedMutex(kCompanionMutex, &mutex);
    // The handle is kept for the life of the process; a second claim closes the extra one.
    CScopedHandle claimed(mutex);
    if (!companionMutex_.IsValid()) companionMutex_.Reset(claimed.Release());
    return !existed;
}

// Another copy may download the companion instead of this one.
void CDLDlg::ReleaseCompanionMutex() { companionMutex_.Reset(); }

int CDLDlg::CreateCompanionTask(HWND owner) {
    // Its folder is made when a task needs it, not every time the target is asked for.
    std::wstring target = CompanionTarget();
    ::CreateDirectoryW(target.substr(0, target.rfind(L'\\') + 1).c_str(), nullptr);
    return engine_.Create(owner, services_.config->GetQuilletDownloaderLink(), target);
}

bool CDLDlg::StartCompanionTask() {
    if (!ClaimCompanionMutex() || CompanionTarget().empty()) return false;
    engine_.Remove(companionTask_);
    companionTask_ = CreateCompanionTask(m_hWnd);
    if (companionTask_ == kNoTask) {
        // A link the engine refuses: no companion this time, the game goes on at once.
        Trace(L"companion refused");
        ReleaseCompanionMutex();
        return false;
    }
    engine_.Start(companionTask_);
    planner_.Companion().Begin();
    Trace(L"companion started");
    return true;
}

void CDLDlg::OnCompanionEnded(bool install) {
    engine_.Stop(companionTask_);
    if (install) StartCompanionInstall();
    engine_.Start(mainTask_);
}

void CDLDlg::StartCompanionInstall() {
    auto job = std::make_unique<CompanionInstall>();
    job->fileName = CompanionFileName();
    job->target = CompanionTarget();
    job->folder = GetTempFolder(targetFolder_) + kCompanionFolder;
    job->isTrusted = options_.isTrusted ? options_.isTrusted : &IsSignedProgram;
    job->start = options_.startProgram ? options_.startProgram : &StartHidden;
    HANDLE thread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &CompanionInstallThread, job.get(), 0, nullptr));
    if (!thread) return;
    job.release();  // the thread owns it now
    companionInstaller_.Reset(thread);
}

uint64_t CDLDlg::CompanionSize(const TaskFigures& companion) const {
    if (!CompanionTicked()) return 0;
    // The persisted size is read only while the engine does not know the size yet.
    return CompanionShownSize(true, companion.size, companion.size ? 0 : state_.LoadQuilletSize());
}

uint64_t CDLDlg::CompanionDone(const TaskFigures& companion) const {
    if (!CompanionTicked()) return 0;
    std::wstring target = companion.done ? std::wstring() : CompanionTarget();
    uint64_t fileSize = target.empty() ? 0 : GetFileSize64(target.c_str());
    return CompanionShownDone(true, companion.done, fileSize);
}

void CDLDlg::SendClientAppReport(const wchar_t* name, bool withMd5) {
    if (!services_.statistics) return;
    ClientAppReport report;
    report.name = name;
    report.packageId = services_.config->GetPackageId();
    GetClientId(&report.machineId);
    report.versionText = services_.config->GetVersionText();
    report.withMd5 = withMd5;
    if (withMd5) report.md5List = services_.workflow->Md5List();
    services_.statistics->SetDropAnswers(0);
    services_.statistics->Enqueue(BuildOwnClientAppReportUrl(report));
    Trace(std::wstring(L"report ") + name);
}
