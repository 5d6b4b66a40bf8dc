// The per-thread message loop and the window base, with real windows on this thread.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "shell/AppModule.h"
#include "shell/DispatchingWait.h"
#include "shell/MessageLoop.h"
#include "shell/Window.h"

namespace {

constexpr UINT kPing = WM_APP + 1;

class CountingWindow : public CWindowImpl<CountingWindow> {
public:
    int pings = 0;
    int creates = 0;
    bool finalSeen = false;

    BEGIN_MSG_MAP(CountingWindow)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(kPing, OnPing)
    COMMAND_ID_HANDLER(7, OnSeven)
    END_MSG_MAP()

    void OnFinalMessage(HWND) override { finalSeen = true; }

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
        ++creates;
        return 0;
    }
    LRESULT OnPing(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        ++pings;
        handled = wParam != 0;  // an unhandled ping goes on to DefWindowProc (which gives 0)
        return 42;
    }
    LRESULT OnSeven(WORD, WORD, HWND, BOOL&) { return 7; }
};

constexpr UINT kCloseFromHandler = WM_APP + 2;

// A window made on the heap that deletes itself on its final message, as prompts do. Its
// handler destroys the window and then still uses the object.
class SelfDeletingWindow : public CWindowImpl<SelfDeletingWindow> {
public:
    explicit SelfDeletingWindow(std::vector<std::string>* log) : log_(log) {}
    ~SelfDeletingWindow() override { log_->push_back("deleted"); }

    BEGIN_MSG_MAP(SelfDeletingWindow)
    MESSAGE_HANDLER(kCloseFromHandler, OnClose)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    void OnFinalMessage(HWND) override {
        log_->push_back("final");
        delete this;
    }

private:
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&) {
        DestroyWindow();
        log_->push_back(m_hWnd == nullptr ? "handler ends, window gone" : "handler ends");
        closes_ += 1;  // writes to the object after the nested final message
        return 17;
    }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
        log_->push_back("destroy");
        handled = FALSE;
        return 0;
    }

    std::vector<std::string>* log_;
    int closes_ = 0;
};

// The window owns itself from here on; its handle.
HWND CreateSelfDeletingWindow(std::vector<std::string>* log) {
    RECT rect = {0, 0, 60, 60};
    return (new SelfDeletingWindow(log))->Create(nullptr, rect, L"self-deleting", WS_POPUP);
}

class SwallowingFilter : public CMessageFilter {
public:
    UINT swallow;
    int seen = 0;
    explicit SwallowingFilter(UINT message) : swallow(message) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message != swallow) return FALSE;
        ++seen;
        return TRUE;
    }
};

class QuitWhenIdle : public CIdleHandler {
public:
    int calls = 0;
    BOOL OnIdle() override {
        if (++calls == 1) ::PostQuitMessage(5);
        return FALSE;
    }
};

}  // namespace

TEST(WindowBase, DispatchesToMemberHandlersAndFallsBackToDefWindowProc) {
    CountingWindow window;
    RECT rect = {0, 0, 100, 100};
    ASSERT_NE(window.Create(nullptr, rect, L"counting", WS_POPUP), nullptr);
    EXPECT_EQ(window.creates, 1);
    EXPECT_EQ(window.SendMessage(kPing, 1), 42);
    EXPECT_EQ(window.SendMessage(kPing, 0), 0);
    EXPECT_EQ(window.pings, 2);
    EXPECT_EQ(window.SendMessage(WM_COMMAND, 7), 7);
    HWND hwnd = window.m_hWnd;
    window.DestroyWindow();
    EXPECT_TRUE(window.finalSeen);
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(WindowBase, AWindowStillOpenWhenItsObjectGoesIsDestroyedQuietly) {
    HWND hwnd = nullptr;
    {
        CountingWindow window;
        RECT rect = {0, 0, 50, 50};
        hwnd = window.Create(nullptr, rect, L"short-lived", WS_POPUP);
        ASSERT_NE(hwnd, nullptr);
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(WindowBase, AWindowDestroyedInItsOwnHandlerHasItsFinalCallAfterTheHandlerReturns) {
    std::vector<std::string> log;
    HWND hwnd = CreateSelfDeletingWindow(&log);
    ASSERT_NE(hwnd, nullptr);

    EXPECT_EQ(::SendMessageW(hwnd, kCloseFromHandler, 0, 0), 17);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(log, (std::vector<std::string>{"destroy", "handler ends, window gone", "final",
                                             "deleted"}));
}

TEST(WindowBase, AWindowDestroyedFromOutsideDeletesItselfAtOnce) {
    std::vector<std::string> log;
    HWND hwnd = CreateSelfDeletingWindow(&log);
    ASSERT_NE(hwnd, nullptr);

    ::DestroyWindow(hwnd);
    EXPECT_EQ(log, (std::vector<std::string>{"destroy", "final", "deleted"}));
}

TEST(MessageLoop, FiltersSeeMessagesFirstAndIdleHandlersRunWhenTheQueueIsEmpty) {
    CountingWindow window;
    RECT rect = {0, 0, 100, 100};
    ASSERT_NE(window.Create(nullptr, rect, L"loop", WS_POPUP), nullptr);

    CMessageLoop loop;
    SwallowingFilter filter(kPing);
    QuitWhenIdle idle;
    loop.AddMessageFilter(&filter);
    loop.AddIdleHandler(&idle);
    window.PostMessage(kPing, 1);
    window.PostMessage(kPing, 1);

    EXPECT_EQ(loop.Run(), 5) << "the exit code is the quit message's";
    EXPECT_EQ(filter.seen, 2);
    EXPECT_EQ(window.pings, 0) << "swallowed messages are not dispatched";
    EXPECT_GE(idle.calls, 1);

    EXPECT_TRUE(loop.RemoveMessageFilter(&filter));
    EXPECT_FALSE(loop.RemoveMessageFilter(&filter));
    window.DestroyWindow();
}

TEST(AppModule, KeepsOneLoopPerThreadAndRegistersAClassNameOnce) {
    CAppModule module;
    module.Init(nullptr, ::GetModuleHandleW(nullptr));
    CMessageLoop loop;
    EXPECT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_FALSE(module.AddMessageLoop(&loop));
    EXPECT_EQ(module.GetMessageLoop(), &loop);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);

    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.lpszClassName = L"VexaModuleTestClass";
    ATOM first = module.RegisterWindowClass(wc);
    EXPECT_NE(first, 0);
    EXPECT_EQ(module.RegisterWindowClass(wc), first);
    module.Term();
    WNDCLASSEXW info = {sizeof(info)};
    EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"VexaModuleTestClass", &info))
        << "Term releases the program's window classes";
}

// Work that only ends once the window has answered it (a message sent from the work's own
// thread): it can end only if the waiting thread goes on taking messages. The owner is
// disabled meanwhile and enabled after, and a quit that came meanwhile is not lost.
TEST(DispatchingWait, TheWindowAnswersWhileTheWorkRuns) {
    CountingWindow window;
    RECT rect = {0, 0, 40, 40};
    ASSERT_NE(window.Create(nullptr, rect, L"waiting", WS_POPUP), nullptr);
    const DWORD windowThread = ::GetCurrentThreadId();
    bool disabledDuringWork = false;
    LRESULT answer = 0;
    ASSERT_TRUE(RunWhileDispatching(window.m_hWnd, [&] {
        disabledDuringWork = !::IsWindowEnabled(window.m_hWnd);
        ::PostThreadMessageW(windowThread, WM_QUIT, 3, 0);  // as the tray menu's quit would
        answer = ::SendMessageW(window.m_hWnd, kPing, 1, 0);
    }));
    EXPECT_TRUE(disabledDuringWork);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(window.pings, 1);
    EXPECT_TRUE(::IsWindowEnabled(window.m_hWnd));
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    window.DestroyWindow();
}
