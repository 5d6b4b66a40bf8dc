#pragma once
// The application module: instance handle, the per-thread table of message loops and the
// window classes registered by the program, released together at Term().

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

class CMessageLoop;

class CAppModule {
public:
    HRESULT Init(void* reserved, HINSTANCE instance);
    void Term();

    HINSTANCE GetModuleInstance() const { return instance_; }
    DWORD GetMainThreadId() const { return mainThreadId_; }

    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

    // Registers a window class once per name; later calls return the first atom.
    ATOM RegisterWindowClass(const WNDCLASSEXW& wc);

private:
    HINSTANCE instance_ = nullptr;
    DWORD mainThreadId_ = 0;
    mutable std::mutex lock_;
    std::map<DWORD, CMessageLoop*> loops_;
    std::map<std::wstring, ATOM> classes_;
};
