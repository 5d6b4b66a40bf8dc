#include "shell/DispatchingWait.h"

#include <process.h>

#include "base/ScopedHandle.h"

namespace {

unsigned __stdcall RunWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

}  // namespace

bool RunWhileDispatching(HWND owner, const std::function<void()>& work) {
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0, &RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr)));
    if (!thread.Get()) {
        work();
        return false;
    }
    // An owner already disabled (a prompt is up over it) stays as it was afterwards.
    const bool enableOwner = owner && ::IsWindowEnabled(owner);
    if (enableOwner) ::EnableWindow(owner, FALSE);
    bool quit = false;
    WPARAM quitCode = 0;
    HANDLE handle = thread.Get();
    while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (enableOwner && ::IsWindow(owner)) ::EnableWindow(owner, TRUE);
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    return true;
}
