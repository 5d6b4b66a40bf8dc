#pragma once
// A per-thread message loop with message filters and idle handlers: the small part of a
// window framework that the program's windows rely on.

#include <windows.h>

#include <vector>

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    // Sees each message before it is translated and dispatched; nonzero swallows it.
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CIdleHandler {
public:
    virtual ~CIdleHandler() = default;
    // Called when the queue has run empty; nonzero asks to be called again at once.
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its exit code (or -1 when GetMessage fails).
    int Run();

    // Gives the filters a chance at one message; true when one of them consumed it.
    BOOL PreTranslateMessage(MSG* msg);
    BOOL OnIdle(int idleCount);

    static bool IsIdleMessage(const MSG& msg);

private:
    // Handlers may add or remove themselves while being called, so iteration works on
    // copies and removal leaves a null slot that the next add reuses.
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
    MSG msg_ = {};
};
