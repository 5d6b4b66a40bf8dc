#pragma once
// The download window: it chooses and checks the target folder, runs the package's files
// through the engine one after another, polls them every second, retries stalled transfers,
// verifies finished files, offers the companion product and hides into the notification
// area when closed. Its decisions live in the portable model (ButtonModes, DownloadFigures,
// FolderCheck, TransferWatch, WorkflowState); this class wires them to Win32, timers,
// prompts and the engine. The members are split by concern over DLDlg*.cpp.

#include <windows.h>

#include <memory>
#include <string>

#include "base/GdiHandles.h"
#include "base/ScopedHandle.h"
#include "config/PackageFile.h"
#include "shell/MessageLoop.h"
#include "shell/Window.h"
#include "skin/SomBitmap.h"
#include "skin/SomButton4.h"
#include "skin/SomCheckBox.h"
#include "skin/SomTextWnd.h"
#include "skin/SomWndManager.h"
#include "skin/TextProgress.h"
#include "workflow/DownloadWindowOptions.h"
#include "workflow/EngineTasks.h"
#include "workflow/NextFileWorker.h"
#include "workflow/TransferWatch.h"

class CDefaultWebWnd;
class CPromptBase;
class CSomHtmlView;

class CDLDlg : public CWindowImpl<CDLDlg>, public CSomWndManager, public CMessageFilter {
public:
    static constexpr int kWidth = 679;
    static constexpr int kHeight = 419;
    static constexpr UINT kTrayMessage = 2025;
    static constexpr UINT kTrayIconId = 32513;
    static constexpr UINT kShowCommand = 2025;
    static constexpr UINT kQuitCommand = 2026;
    static constexpr UINT kShowDefaultPageMessage = 3232;

    CDLDlg(const DownloadWindowServices& services, DownloadWindowOptions options);
    ~CDLDlg() override;

    // Registers the class named by the package identifier and creates the window.
    HWND CreateDownloadWindow();
    CWndClassInfo GetWndClassInfo() const override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawBackground(HDC hdc, const RECT* rect) override;

    int GetButtonMode() const { return buttonMode_; }

    BEGIN_MSG_MAP(CDLDlg)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(kTrayMessage, OnTrayMessage)
    MESSAGE_HANDLER(kShowDefaultPageMessage, OnShowDefaultPage)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    CHAIN_PROCESS_MESSAGE(static_cast<CSomWndManager&>(*this))
    END_MSG_MAP()

private:
    // Messages (DLDlgCommands.cpp).
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&) { return HTCLIENT; }
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayMessage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnShowDefaultPage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    void ApplyWindowShape();
    void DispatchCommand(UINT id, LPARAM lParam);

    // Layout and display (DLDlgLayout.cpp).
    void CreateFonts();
    void CreateElements();
    void CreateTitleButtons();
    void CreateActionButtons();
    void CreateTexts();
    void CreateCompanionElements();
    void CreatePageArea();
    void ShowButtonMode(int mode);
    void FormatSizePair(uint64_t done, uint64_t total);
    void RefreshProgress();
    void ShowSpeed(uint64_t bytesPerSecond);
    void ShowTargetFolder();
    void ShowFolderLinks(bool folderChosen);
    void ShowPage(bool defaultPage);
    void Trace(const std::wstring& line) const;

    // The workflow (DLDlgTransfer.cpp).
    bool StartDownload(bool refill);
    bool AcquireTransferMutex();
    void ReleaseTransferMutex();
    bool RunFolderLoop();
    bool ChooseFolder(std::wstring* folder);
    int ShowDirErrPrompt(const std::wstring& text);
    void StartTransfer(bool newMainTask);
    void RecreateTasks();
    void ResumeTransfer();
    void PauseTransfer();
    void ShutdownEngine();
    enum FileOutcome { kFileDone, kFileFailed, kFileWaiting };
    FileOutcome FinishCurrentFile(const TaskFigures& main);
    void EndCurrentFile(bool ok);
    void ShowDownloadFailed();
    void StopWorker();
    void StartWorker();
    std::wstring CurrentTargetPath() const;
    std::wstring FileNameOf(const PackageFile& file) const;

    // Commands (DLDlgCommands.cpp).
    void OnPauseCommand();
    void OnResumeCommand();
    void OnChangeFolderCommand();
    void OnPromotionLink();
    void OnFeedback();

    // Timers (DLDlgTimers.cpp).
    void OnProgressTimer();
    void OnNetworkTimer();
    void OnFileWaitTimer();
    void HandleStall(CStallWatch::Action action);

    // Where an earlier run stopped (DLDlgRestore.cpp).
    int DetectInitialState();
    void EnterInitialState(int state);
    void EnterFreshState();
    void EnterPartialState();
    void EnterCompleteState();
    void EnterSomeFilesState();
    void RestoreCompanionBox(bool disable);

    // Verification, installation, the folder and the recovery commands (DLDlgFiles.cpp).
    bool VerifyFile(const std::wstring& path);
    void ShowCheckFailed();
    void OnInstallCommand();
    void OnOpenFolderCommand();
    void OnRedownloadCommand();
    void DiscardPartialFiles(const std::wstring& folder);
    void DeletePackageFiles(const std::wstring& folder, bool withPartials);
    int RunPrompt(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen);

    // Notification area (DLDlgTray.cpp).
    void HideToTray();
    void ShowAndRaise();
    void ShowTrayMenu();
    void Quit();
    void DeleteTrayIcon();

    // The companion offer (DLDlgCompanion.cpp).
    void SetUpCompanionBox();
    void OnCompanionBoxCommand();
    bool CompanionTicked() const;
    bool CompanionActive() const;
    bool ClaimCompanionMutex();
    bool StartCompanionTask();
    void OnCompanionFinished(const TaskFigures& companion);
    void StartCompanionInstall();
    uint64_t CompanionSize(const TaskFigures& companion) const;
    uint64_t CompanionDone(const TaskFigures& companion) const;
    std::wstring CompanionTarget() const;
    std::wstring CompanionFileName() const;
    void SendClientAppReport(const wchar_t* name, bool withMd5);

    DownloadWindowServices services_;
    DownloadWindowOptions options_;
    CEngineTasks engine_;

    // Workflow fields.
    PackageFile currentFile_;
    std::wstring targetFolder_;
    int mainTask_ = -1;
    int companionTask_ = -1;
    bool fileFinished_ = false;
    bool checkFailed_ = false;  // a file failed its check since the last start of a download
    int buttonMode_ = 0;
    bool ownsTransferMutex_ = false;
    bool closing_ = false;  // command 2026 ran: nothing may start any more
    CScopedHandle transferMutex_;
    CScopedHandle companionMutex_;
    CScopedHandle companionInstaller_;  // the install thread, waited for on destruction
    CNextFileWorker worker_;
    CStallWatch stall_;
    CCompanionTracker companion_;
    CFileWait fileWait_;
    bool trayIconAdded_ = false;

    // Fonts (owned).
    CFontHandle textFont_;
    CFontHandle linkFont_;
    CFontHandle boldLinkFont_;
    CFontHandle titleFont_;

    // Images (owned).
    std::unique_ptr<CSomBitmap> background_;
    CSomBitmap checkImage_{110, 9};
    CSomBitmap downloadImage_{114, 3};
    CSomBitmap resumeImage_{106, 3};
    CSomBitmap pauseImage_{107, 3};
    CSomBitmap installImage_{117, 3};
    CSomBitmap redownloadImage_{118, 3};

    // Elements.
    CSomButton4 closeButton_;
    CSomButton4 minimizeButton_;
    CSomButton4 feedbackButton_;
    CSomButton4 downloadButton_;
    CSomButton4 resumeButton_;
    CSomButton4 pauseButton_;
    CSomButton4 installButton_;
    CSomButton4 redownloadButton_;
    CTextProgress progress_;
    CSomTextWnd title_;
    CSomTextWnd promotion_;
    CSomTextWnd openLink_;
    CSomTextWnd changeLink_;
    CSomCheckBox companionBox_{&checkImage_, FALSE};
    CSomTextWnd companionLabel_;
    CSomTextWnd versionText_;
    CSomTextWnd pathText_;
    CSomTextWnd progressLabel_;
    CSomTextWnd pathLabel_;
    CSomTextWnd speedText_;
    std::unique_ptr<CSomHtmlView> pageView_;
    std::unique_ptr<CDefaultWebWnd> defaultPage_;
};
