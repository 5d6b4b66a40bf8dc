#include "workflow/ProgramWindows.h"

#include "config/DeploymentValuesInstance.h"
#include "config/DownloaderConfig.h"
#include "prompts/InitialFailedDlg.h"
#include "prompts/OlderVersionDlg.h"
#include "prompts/PromptFamily.h"
#include "shell/LinkOpener.h"
#include "workflow/DLDlg.h"
#include "workflow/MainDlg.h"
#include "workflow/MainWindowRules.h"
#include "workflow/WorkflowTexts.h"

namespace {

// A package the program will not download (a file name that is no plain name, two files of
// one name). Nothing was written and retrying cannot help: the download-failed prompt, whose
// button reaches the publisher's feedback page.
class CPackageRefusedDlg : public CDownLoadFailedDlg {
protected:
    void OnAffirmed() override { ShellOpenLink(FeedbackPageUrl()); }
};

// A prompt shown on its own is the program's only window: without it nothing could ever
// end the loop, so a prompt that cannot be made ends the program.
void ShowAlone(CPromptBase& prompt, const std::wstring& title) {
    if (prompt.CreatePrompt(nullptr, title.c_str())) {
        prompt.CenterWindow();
    } else {
        ::PostQuitMessage(0);
    }
}

}  // namespace

CProgramWindows::CProgramWindows(const DownloadWindowServices& services,
                                 DownloadWindowOptions options)
    : services_(services), options_(std::move(options)) {}

CProgramWindows::~CProgramWindows() {
    // Windows still open when the loop has ended go before the objects behind them.
    if (initialFailed_ && initialFailed_->IsWindow()) initialFailed_->DestroyWindow();
    if (refused_ && refused_->IsWindow()) refused_->DestroyWindow();
    if (olderVersion_ && olderVersion_->IsWindow()) olderVersion_->DestroyWindow();
    if (downloadWindow_ && downloadWindow_->IsWindow()) downloadWindow_->DestroyWindow();
    for (auto& window : mainWindows_) {
        if (window->IsWindow()) window->DestroyWindow();
    }
}

void CProgramWindows::Trace(const std::wstring& line) const {
    if (options_.trace) options_.trace(line);
}

bool CProgramWindows::OpenMainWindow() {
    Trace(L"main window");
    auto window = std::make_unique<CMainDlg>(this);
    RECT rect = {0, 0, CMainDlg::kWidth, CMainDlg::kHeight};
    // The game is not known yet: its name is empty until the configuration is read again.
    std::wstring title = ProgramTitleFor(services_.config->GetGameName());
    HWND hwnd = window->Create(nullptr, rect, title.c_str(), WS_POPUP | WS_VISIBLE | WS_SYSMENU);
    mainWindows_.push_back(std::move(window));
    return hwnd != nullptr;
}

bool CProgramWindows::OpenDownloadWindow(const std::wstring& backgroundPath) {
    Trace(backgroundPath.empty() ? L"handover download built-in"
                                 : L"handover download " + backgroundPath);
    DownloadWindowOptions options = options_;
    options.backgroundPath = backgroundPath;
    downloadWindow_ = std::make_unique<CDLDlg>(services_, options);
    if (!downloadWindow_->CreateDownloadWindow()) {
        Trace(L"download window failed");
        return false;
    }
    downloadWindow_->ShowWindow(SW_SHOW);
    return true;
}

bool CProgramWindows::EndConfigThreads(DWORD boundMs) {
    bool ended = true;
    for (auto& window : mainWindows_) ended = window->EndConfigThread(boundMs) && ended;
    return ended;
}

void CProgramWindows::ShowOlderVersionPrompt(const std::wstring& title) {
    Trace(L"handover older-version");
    olderVersion_ = std::make_unique<COlderVersionDlg>();
    olderVersion_->SetMessage(kOlderVersionText);
    olderVersion_->SetLink(services_.config->GetNewVersionDownloaderLink());
    ShowAlone(*olderVersion_, title);
}

void CProgramWindows::ShowPackageRefusedPrompt(const std::wstring& title) {
    Trace(L"handover refused");
    refused_ = std::make_unique<CPackageRefusedDlg>();
    refused_->SetMessage(kDownloadFailedText);
    ShowAlone(*refused_, title);
}

void CProgramWindows::ShowInitialFailedPrompt(const std::wstring& title) {
    Trace(L"handover initial-failed");
    // Only one such prompt at a time: an earlier one is closed and freed first.
    if (initialFailed_ && initialFailed_->IsWindow()) initialFailed_->DestroyWindow();
    initialFailed_ = std::make_unique<CInitialFailedDlg>([this] {
        // The prompt is already gone; a main window that cannot be made ends the program
        // rather than leaving it running without any window.
        if (!OpenMainWindow()) ::PostQuitMessage(0);
    });
    initialFailed_->SetMessage(kInitialFailedText);
    ShowAlone(*initialFailed_, title);
}
