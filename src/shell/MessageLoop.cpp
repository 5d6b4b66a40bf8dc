#include "shell/MessageLoop.h"

#include <algorithm>

namespace {

template <class T>
BOOL AddUnique(std::vector<T*>& list, T* item) {
    if (!item) return FALSE;
    if (std::find(list.begin(), list.end(), item) != list.end()) return TRUE;
    auto hole = std::find(list.begin(), list.end(), nullptr);
    if (hole != list.end()) {
        *hole = item;
    } else {
        list.push_back(item);
    }
    return TRUE;
}

template <class T>
BOOL RemoveItem(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return FALSE;
    *it = nullptr;
    return TRUE;
}

}  // namespace

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) { return AddUnique(filters_, filter); }
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    return RemoveItem(filters_, filter);
}
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) { return AddUnique(idleHandlers_, handler); }
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
    return RemoveItem(idleHandlers_, handler);
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg) {
    // Newest filter first, as a window created later sits in front of earlier ones.
    std::vector<CMessageFilter*> snapshot(filters_.rbegin(), filters_.rend());
    for (CMessageFilter* filter : snapshot) {
        if (!filter) continue;
        if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) continue;
        if (filter->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int /*idleCount*/) {
    std::vector<CIdleHandler*> snapshot(idleHandlers_);
    BOOL again = FALSE;
    for (CIdleHandler* handler : snapshot) {
        if (!handler) continue;
        if (std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end())
            continue;
        if (handler->OnIdle()) again = TRUE;
    }
    return again;
}

bool CMessageLoop::IsIdleMessage(const MSG& msg) {
    // Mouse moves that repeat the last position, paints and the caret blink say nothing new.
    switch (msg.message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
        case WM_PAINT:
        case 0x0118:  // WM_SYSTIMER (caret blink)
            return false;
        default:
            return true;
    }
}

int CMessageLoop::Run() {
    bool doIdle = true;
    int idleCount = 0;
    for (;;) {
        while (doIdle && !PeekMessageW(&msg_, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) doIdle = false;
        }
        BOOL got = GetMessageW(&msg_, nullptr, 0, 0);
        if (got == -1) return -1;
        if (!got) break;  // WM_QUIT
        if (!PreTranslateMessage(&msg_)) {
            TranslateMessage(&msg_);
            DispatchMessageW(&msg_);
        }
        if (IsIdleMessage(msg_)) {
            doIdle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg_.wParam);
}
