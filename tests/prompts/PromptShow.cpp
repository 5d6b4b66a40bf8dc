// Shows one prompt the way the program does and prints what happened, for the click-driven
// test (drive_prompts.py) and for screenshots.
//
//   prompt_show.exe <prompt> [--owner] [--multi] [--close-after ms]
//
// Prints (one line each, flushed): "prompt <x> <y>" once the prompt is on screen,
// "owner-command <id>" for every command the owner receives, "main-window" when the
// initialisation prompt's retry made a new main window, and "result <n>" at the end.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "prompts/FileCheckFailedDlg.h"
#include "prompts/InitialFailedDlg.h"
#include "prompts/InstallGameDlg.h"
#include "prompts/OlderVersionDlg.h"
#include "prompts/PromptDownloadQuilletDlg.h"
#include "prompts/PromptFamily.h"
#include "prompts/PromptRunner.h"
#include "shell/Window.h"
#include "workflow/WorkflowTexts.h"

namespace {

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// Stands in for the download window: dark, 680 x 420, reports the commands it receives.
class COwnerWindow : public CWindowImpl<COwnerWindow> {
public:
    BEGIN_MSG_MAP(COwnerWindow)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnErase)
    END_MSG_MAP()

private:
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
        Say("owner-command %u\n", static_cast<unsigned>(LOWORD(wParam)));
        return 0;
    }
    LRESULT OnErase(UINT, WPARAM wParam, LPARAM, BOOL&) {
        RECT rect;
        GetClientRect(&rect);
        HBRUSH brush = ::CreateSolidBrush(RGB(0x30, 0x34, 0x3C));
        ::FillRect(reinterpret_cast<HDC>(wParam), &rect, brush);
        ::DeleteObject(brush);
        return 1;
    }
};

// The new main window a retry makes; it ends the loop a moment later, which proves that
// the loop was still running after the retry.
class CStandInMainWindow : public CWindowImpl<CStandInMainWindow> {
public:
    BEGIN_MSG_MAP(CStandInMainWindow)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
        SetTimer(1, 700);
        return 0;
    }
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&) {
        KillTimer(1);
        Say("main-window-still-looping\n");
        ::PostQuitMessage(0);
        return 0;
    }
};

std::unique_ptr<CStandInMainWindow> g_standInMain;  // this test program's "main window"

std::unique_ptr<CPromptBase> MakePrompt(const std::string& name, bool multi) {
    if (name == "direrr") {
        auto p = std::make_unique<CDirErrDlg>();
        p->SetMessage(kFatVolumeText);
        return p;
    }
    if (name == "damaged") {
        auto p = std::make_unique<CFileDamagedDlg>();
        p->SetMessage(kFileDamagedText);
        return p;
    }
    if (name == "older") {
        auto p = std::make_unique<COlderVersionDlg>();
        p->SetMessage(kOlderVersionText);
        return p;
    }
    if (name == "initfailed") {
        auto p = std::make_unique<CInitialFailedDlg>([] {
            g_standInMain = std::make_unique<CStandInMainWindow>();
            RECT rect = {0, 0, 400, 200};
            g_standInMain->Create(nullptr, rect, L"main", WS_POPUP);
            Say("main-window\n");
        });
        p->SetMessage(kInitialFailedText);
        return p;
    }
    if (name == "quillet") {
        auto p = std::make_unique<CPromptDownloadQuilletDlg>();
        p->SetTip(L"");
        return p;
    }
    if (name == "dlfailed") {
        auto p = std::make_unique<CDownLoadFailedDlg>();
        p->SetMessage(kDownloadFailedText);
        return p;
    }
    if (name == "fileerr") {
        auto p = std::make_unique<CFileErrDlg>();
        p->SetMessage(kFileErrorText);
        return p;
    }
    if (name == "checkfailed") {
        auto p = std::make_unique<CFileCheckFailedDlg>();
        p->SetMessage(kCheckFailedText);
        p->SetMultiFileForm(multi);
        return p;
    }
    if (name == "install") {
        auto p = std::make_unique<CInstallGameDlg>();
        // A game name with markup in it must show as these very characters.
        p->SetMessage(CInstallGameDlg::MessageFor(L"星辰之战{&#color=0xff}"));
        return p;
    }
    if (name == "installed") {
        auto p = std::make_unique<CQuilletInstalledDlg>();
        p->SetMessage(kCompanionInstalledText);
        return p;
    }
    if (name == "diropen") {
        auto p = std::make_unique<CDirOpenFailedDlg>();
        p->SetMessage(kFolderOpenFailedText);
        return p;
    }
    return nullptr;
}

class CPromptAnnouncer {
public:
    // Posts WM_CLOSE to the prompt after `closeAfterMs` when that is not 0.
    static void CALLBACK Announce(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        HWND prompt = s_prompt;
        RECT rect = {};
        ::GetWindowRect(prompt, &rect);
        Say("prompt %ld %ld\n", rect.left, rect.top);
    }
    static void CALLBACK Close(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        ::PostMessageW(s_prompt, WM_CLOSE, 0, 0);
    }
    static HWND s_prompt;
};
HWND CPromptAnnouncer::s_prompt = nullptr;

// A CBT hook notices the prompt's window as it is created, so that its place can be
// announced once the loop runs.
HHOOK g_hook = nullptr;
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !CPromptAnnouncer::s_prompt) {
        auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        if (create->lpcs->cx == CPromptBase::kWidth && create->lpcs->cy == CPromptBase::kHeight) {
            CPromptAnnouncer::s_prompt = reinterpret_cast<HWND>(wParam);
        }
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

// Reports the prompt being dragged: "move-start" when the move begins (the pointer's place
// then is where the drag counts from) and "moved X Y" for each new place, so a driver can
// move the pointer only once the move has begun and click only once the prompt is there.
HHOOK g_moveHook = nullptr;
LRESULT CALLBACK MoveHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == CPromptAnnouncer::s_prompt) {
        if (message->message == WM_ENTERSIZEMOVE) Say("move-start\n");
        if (message->message == WM_WINDOWPOSCHANGED) {
            auto* pos = reinterpret_cast<WINDOWPOS*>(message->lParam);
            if (!(pos->flags & SWP_NOMOVE)) Say("moved %d %d\n", pos->x, pos->y);
        }
    }
    return ::CallNextHookEx(g_moveHook, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: prompt_show <prompt> [--owner] [--multi] [--close-after ms]\n");
        return 2;
    }
    std::string name = argv[1];
    bool withOwner = false;
    bool multi = false;
    UINT closeAfter = 0;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--owner")) withOwner = true;
        if (!std::strcmp(argv[i], "--multi")) multi = true;
        if (!std::strcmp(argv[i], "--close-after") && i + 1 < argc) closeAfter = std::atoi(argv[++i]);
    }
    std::unique_ptr<CPromptBase> prompt = MakePrompt(name, multi);
    if (!prompt) {
        std::fprintf(stderr, "unknown prompt %s\n", name.c_str());
        return 2;
    }

    COwnerWindow owner;
    if (withOwner) {
        RECT rect = {0, 0, 680, 420};
        owner.Create(nullptr, rect, L"owner", WS_POPUP | WS_VISIBLE);
        owner.CenterWindow();
    }
    g_hook = ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId());
    g_moveHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, MoveHook, nullptr, ::GetCurrentThreadId());
    ::SetTimer(nullptr, 0, 400, &CPromptAnnouncer::Announce);
    if (closeAfter) ::SetTimer(nullptr, 0, closeAfter, &CPromptAnnouncer::Close);
    int result = RunPromptModal(*prompt, withOwner ? owner.m_hWnd : nullptr);
    ::UnhookWindowsHookEx(g_moveHook);
    ::UnhookWindowsHookEx(g_hook);
    Say("owner-enabled %d\n", withOwner ? (::IsWindowEnabled(owner.m_hWnd) ? 1 : 0) : 1);
    Say("result %d\n", result);
    return 0;
}
