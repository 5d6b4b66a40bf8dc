#pragma once
// The program's first window: a small skinned window that shows "正在初始化..." and a bar
// while the configuration thread fetches and reads the package's configuration, then hands
// over to the download window (or to the older-version or initialisation-failed prompt)
// and destroys itself. It also rewrites the desktop shortcut at every start, and as the
// thread's message filter it keeps Enter and Escape from every window of the program.

#include <windows.h>

#include <string>

#include "base/ScopedHandle.h"
#include "shell/MessageLoop.h"
#include "shell/Window.h"
#include "skin/QuilletProgress.h"
#include "skin/SomBitmap.h"
#include "skin/SomButton4.h"
#include "skin/SomTextWnd.h"
#include "skin/SkinnedWindow.h"

class CProgramWindows;

class CMainDlg : public CWindowImpl<CMainDlg>, public CSkinnedWindow, public CMessageFilter {
public:
    static constexpr int kWidth = 404;
    static constexpr int kHeight = 201;
    // The configuration thread's reports: wParam percent (progress) or result (finished).
    static constexpr UINT kConfigReportMessage = 2024;
    static constexpr LPARAM kReportProgress = 5;
    static constexpr LPARAM kReportFinished = 6;
    static constexpr UINT_PTR kRaceTimer = 10000;
    static constexpr UINT kRaceTickMs = 10;

    // `windows` receives the hand-over; not owned, outlives the window.
    explicit CMainDlg(CProgramWindows* windows);
    ~CMainDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawBackground(HDC hdc, const RECT* rect) override;

    int GetInitProgress() const { return initProgress_; }
    // Once the loop has ended: stops the configuration thread if it still runs (see
    // EndConfigInitThread); false when it still runs after `boundMs`.
    bool EndConfigThread(DWORD boundMs);

    BEGIN_MSG_MAP(CMainDlg)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(kConfigReportMessage, OnConfigReport)
    MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    CHAIN_PROCESS_MESSAGE(static_cast<CSomWndManager&>(*this))
    END_MSG_MAP()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnConfigReport(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

    void CreateElements();
    void StartConfigThread();
    void OnConfigFinished(int result);
    void HandOver();
    void ShowProgress(int percent);
    void CloseProgram();

    CProgramWindows* windows_;
    CSomButton4 closeButton_;
    CSomTextWnd title_;
    CSomTextWnd status_;
    CQuilletProgress progress_;
    CSomBitmap background_{101, 1};
    int initProgress_ = 0;
    bool ready_ = false;
    bool handedOver_ = false;
    int initResult_ = -1;
    CScopedHandle configThread_;  // ends after its last report, or by EndConfigThread
};
