#pragma once
// The download window: it chooses and checks the target folder, runs the package's files
// through the engine one after another, polls them every second, retries stalled transfers,
// verifies finished files, offers the companion product and hides into the notification
// area when closed. Its decisions live in the portable model (TransferDecisions,
// ProgressTick, CompanionChoice, FolderCheck, FinishRules, RestoreRules, WorkflowState):
// the members here gather the facts, ask the model and carry out its answer with Win32,
// timers, prompts and the engine. They are split by concern over DLDlg*.cpp.

#include <windows.h>

#include <memory>
#include <string>

#include "base/ScopedHandle.h"
#include "config/PackageFile.h"
#include "config/StateFile.h"
#include "shell/MessageLoop.h"
#include "shell/Window.h"
#include "skin/SkinnedWindow.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/DownloadWindowOptions.h"
#include "workflow/DownloadWindowView.h"
#include "workflow/EngineTasks.h"
#include "workflow/FileTurn.h"
#include "workflow/NextFileWorker.h"
#include "workflow/ProgressTick.h"
#include "workflow/TrayIcon.h"

class CPromptBase;

class CDLDlg : public CWindowImpl<CDLDlg>, public CSkinnedWindow, public CMessageFilter {
public:
    static constexpr int kWidth = 679;
    static constexpr int kHeight = 419;

    CDLDlg(const DownloadWindowServices& services, DownloadWindowOptions options);
    ~CDLDlg() override;

    // Registers the class named by the package identifier and creates the window.
    HWND CreateDownloadWindow();
    CWndClassInfo GetWndClassInfo() const override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawBackground(HDC hdc, const RECT* rect) override;

    int GetButtonMode() const { return view_.ButtonMode(); }

    BEGIN_MSG_MAP(CDLDlg)
    // The shell's "TaskbarCreated" (Explorer started again) has no fixed number.
    if (tray_.OnTaskbarMessage(uMsg)) return TRUE;
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
    void DispatchCommand(UINT id, LPARAM lParam);

    // The display outside the timer, and the trace (DLDlgDisplay.cpp).
    void RefreshProgress();
    void Trace(const std::wstring& line) const;

    // The workflow (DLDlgTransfer.cpp).
    bool StartDownload(bool refill);
    bool RunFolderLoop();
    bool CreateGameTask();
    bool ChooseFolder(std::wstring* folder);
    int ShowDirErrPrompt(const std::wstring& text);
    void StartTransfer();
    void RecreateTasks();
    bool ResumeTransfer();
    void PauseTransfer();
    void ShutdownEngine();
    enum FileOutcome { kFileDone, kFileFailed, kFileWaiting };
    FileOutcome FinishCurrentFile(const TaskFigures& main);
    void EndCurrentFile(bool ok);
    void OnStartCommand(LPARAM lParam);
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
    void CarryOutTick(const TickPlan& plan, const TaskFigures& companion);
    bool IsOnline() const;

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
    void RefuseUnsignedFile(const std::wstring& path);
    void ShowCheckFailed();
    void OnInstallCommand();
    void OnOpenFolderCommand();
    void OnRedownloadCommand();
    void DiscardPartialFiles(const std::wstring& folder);
    void DeletePackageFiles(const std::wstring& folder, bool withPartials);
    int RunPrompt(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen);
    int ShowPromptOverWindow(CPromptBase& prompt, const wchar_t* title, bool behindFullScreen);
    void ShowDamagedFile();
    void OpenInShell(const std::wstring& path, bool select);

    // Notification area (DLDlgTray.cpp).
    void HideToTray();
    void ShowAndRaise();
    void ShowTrayMenu();
    void Quit();

    // The companion offer (DLDlgCompanion.cpp).
    // Ticked unless the product is installed; an offer is reported.
    bool OfferCompanion();
    void OnCompanionBoxCommand();
    bool CompanionTicked() const;
    bool CompanionActive() const;
    bool ClaimCompanionMutex();
    void ReleaseCompanionMutex();
    bool StartCompanionTask();
    int CreateCompanionTask(HWND owner);
    void OnCompanionEnded(bool install);
    void StartCompanionInstall();
    uint64_t CompanionSize(const TaskFigures& companion) const;
    uint64_t CompanionDone(const TaskFigures& companion) const;
    std::wstring CompanionTarget() const;
    std::wstring CompanionFileName() const;
    void SendClientAppReport(const wchar_t* name, bool withMd5);

    DownloadWindowServices services_;
    DownloadWindowOptions options_;
    CEngineTasks ownTasks_;
    ITransferTasks& engine_;  // ownTasks_ unless the services give others
    CStateFile state_;

    // Workflow fields.
    PackageFile currentFile_;
    std::wstring targetFolder_;
    int mainTask_ = kNoTask;
    int companionTask_ = kNoTask;
    bool fileFinished_ = false;
    bool checkFailed_ = false;      // a file failed its check since the last start of a download
    bool closing_ = false;          // command 2026 ran: nothing may start any more
    bool userPaused_ = false;       // paused by the user: only resume goes on
    bool nextFileWaiting_ = false;  // the next file's turn came while paused
    CFileTurn turn_;
    CScopedHandle companionMutex_;
    CScopedHandle companionInstaller_;  // the install thread, waited for on destruction
    CNextFileWorker worker_;
    CTickPlanner planner_;
    CFileWait fileWait_;
    CTrayIcon tray_;

    CDownloadWindowView view_;
};
