#pragma once
// What the main window hands over to, and owns them until the program ends: the download
// window, the older-version prompt, the initialisation-failed prompt (whose retry builds a
// new main window here) and the main windows made by retries. Lives on the window thread
// for the whole message loop.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/DownloadWindowOptions.h"

class CDLDlg;
class CInitialFailedDlg;
class CMainDlg;
class CPromptBase;
class COlderVersionDlg;

class CProgramWindows {
public:
    CProgramWindows(const DownloadWindowServices& services, DownloadWindowOptions options);
    ~CProgramWindows();
    CProgramWindows(const CProgramWindows&) = delete;
    CProgramWindows& operator=(const CProgramWindows&) = delete;

    const DownloadWindowServices& Services() const { return services_; }
    // One short line per step of the hand-over ("report 5 20", "handover download", ...);
    // nothing when no trace was given.
    void Trace(const std::wstring& line) const;

    // A new main window, which starts the whole initialisation again; false when it could
    // not be created.
    bool OpenMainWindow();
    // The download window over the package, with the image at `backgroundPath` as its
    // background (empty: the built-in one); false when it could not be created.
    bool OpenDownloadWindow(const std::wstring& backgroundPath);
    void ShowOlderVersionPrompt(const std::wstring& title);
    void ShowInitialFailedPrompt(const std::wstring& title);
    void ShowPackageRefusedPrompt(const std::wstring& title);
    // Once the loop has ended: the configuration threads of the main windows made by
    // retries, as CMainDlg::EndConfigThread; false when one still runs.
    bool EndConfigThreads(DWORD boundMs);

private:
    DownloadWindowServices services_;
    DownloadWindowOptions options_;
    std::vector<std::unique_ptr<CMainDlg>> mainWindows_;  // kept: their filters may run
    std::unique_ptr<CDLDlg> downloadWindow_;
    std::unique_ptr<COlderVersionDlg> olderVersion_;
    std::unique_ptr<CInitialFailedDlg> initialFailed_;
    std::unique_ptr<CPromptBase> refused_;
};
