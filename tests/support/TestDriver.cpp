// vexa_testdriver: a small Windows console program that end-to-end tests run under Wine to
// look at and poke the program's windows from outside.
//
//   fake-download-window ID SECONDS   hold the mutex ID and a window of class ID; print
//                                     "show" and exit 0 on WM_COMMAND 2025, exit 3 on time-out
//   fake-locked-window ID SECONDS     the same, but nobody else may open the mutex (as when
//                                     the running copy is elevated or another account's)
//   fake-hung-window ID SECONDS       hold the mutex and the window, print "ready", then
//                                     answer no message for SECONDS and exit 5
// TITLE matches every visible top-level window whose title starts with it.
//
//   count-windows TITLE               print how many such windows there are
//   wait-window TITLE SECONDS         exit 0 once such a window exists, 3 on time-out
//   post-quit TITLE CODE              post WM_QUIT(CODE) to the thread of that window
//   send-command TITLE ID             send WM_COMMAND(ID) to that window, print the result
//   window-rect TITLE                 print "left top right bottom" of that window
//   send-command-on-file TITLE ID FILE SECONDS
//                                     print "ready", then, once FILE exists, send
//                                     WM_COMMAND(ID) to that window at once (started ahead,
//                                     so no start-up time lies between a test's signal and
//                                     the command); print the result, exit 3 when FILE or
//                                     the window does not come within SECONDS
//   find-class CLASS                  exit 0 when a top-level window of that class exists
//   send-to-class CLASS MSG W L       send MSG(W, L) to the window of that class (hidden or
//                                     not), print the result
//   post-to-class CLASS MSG W L       post MSG(W, L) to the window of that class
//   visible-class CLASS               print 1 when that window is visible, else 0
//   class-of TITLE                    print the window class name of that window
//   post-key TITLE VK                 post WM_KEYDOWN and WM_KEYUP of that virtual key to that
//                                     window, as the keyboard would
//   list-windows TITLE                print "WIDTH HEIGHT CLASS<TAB>TITLE" (UTF-8) for each
//                                     such window
//   crash-remote TITLE                start a thread at an invalid address in the process
//                                     of that window, so that it fails as if from within;
//                                     print the process identifier
//   hold-desktop TITLE                keep a hidden window titled TITLE (so the desktop stays
//                                     open) until ended; print "ready" once it exists, exit 3
//                                     when no window can be made

// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/TextCodec.h"
#include "workflow/DownloadWindowIds.h"

namespace {

struct Search {
    std::wstring title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectByTitle(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 511);
    // Titles are matched by prefix: arguments stay ASCII whatever the locale Wine runs in.
    if (::IsWindowVisible(hwnd) &&
        std::wstring(text).compare(0, search->title.size(), search->title) == 0)
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> WindowsTitled(const std::wstring& title) {
    Search search{title, {}};
    ::EnumWindows(&CollectByTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

LRESULT CALLBACK FakeWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kShowCommand) {
        std::printf("show\n");
        std::fflush(stdout);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

enum class FakeMode { Answering, Locked, Hung };

// A mutex whose security descriptor grants nobody any access (an empty DACL): opening it
// by name from another process fails with "access denied".
HANDLE CreateLockedMutex(const std::wstring& id) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, id.c_str());
    ::LocalFree(descriptor);
    return mutex;
}

int FakeDownloadWindow(const std::wstring& id, int seconds, FakeMode mode) {
    HANDLE mutex = mode == FakeMode::Locked ? CreateLockedMutex(id)
                                            : ::CreateMutexW(nullptr, FALSE, id.c_str());
    if (!mutex) return 4;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = &FakeWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = id.c_str();
    ::RegisterClassExW(&wc);
    HWND hwnd = ::CreateWindowExW(0, id.c_str(), L"fake download window", WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd) return 4;
    std::printf("ready\n");
    std::fflush(stdout);
    if (mode == FakeMode::Hung) {
        ::Sleep(static_cast<DWORD>(seconds) * 1000);
        return 5;
    }
    ::SetTimer(hwnd, 1, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG msg;
    int code = 0;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) {
            code = 3;
            break;
        }
        ::DispatchMessageW(&msg);
    }
    ::DestroyWindow(hwnd);
    ::CloseHandle(mutex);
    return code;
}

HWND OneWindow(const std::wstring& title) {
    std::vector<HWND> found = WindowsTitled(title);
    return found.empty() ? nullptr : found.front();
}

int CrashRemote(HWND hwnd) {
    DWORD processId = 0;
    if (!::GetWindowThreadProcessId(hwnd, &processId)) {
        // The window went between the search and now (a program handing over to its next
        // window): the same answer as when none was found, so callers look again.
        std::fprintf(stderr, "no window titled that\n");
        return 1;
    }
    HANDLE process = ::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                       PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                   FALSE, processId);
    if (!process) {
        std::fprintf(stderr, "process %lu cannot be opened (error %lu)\n", processId,
                     ::GetLastError());
        return 1;
    }
    // Address 0x10 is never mapped: the new thread faults on its first instruction.
    auto nowhere = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(0x10));
    HANDLE thread = ::CreateRemoteThread(process, nullptr, 0, nowhere, nullptr, 0, nullptr);
    DWORD error = ::GetLastError();
    ::CloseHandle(process);
    if (!thread) {
        std::fprintf(stderr, "no thread in process %lu (error %lu)\n", processId, error);
        return 1;
    }
    ::CloseHandle(thread);
    std::printf("%lu\n", processId);
    return 0;
}

int HoldDesktop(const std::wstring& title) {
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", title.c_str(), WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    if (!hwnd) {
        std::fprintf(stderr, "no window can be made (error %lu)\n", ::GetLastError());
        return 3;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

int ListWindows(const std::wstring& title) {
    for (HWND hwnd : WindowsTitled(title)) {
        RECT rect = {};
        ::GetWindowRect(hwnd, &rect);
        wchar_t name[256] = {};
        ::GetClassNameW(hwnd, name, 255);
        wchar_t text[512] = {};
        ::GetWindowTextW(hwnd, text, 511);
        std::string line = std::to_string(rect.right - rect.left) + " " +
                           std::to_string(rect.bottom - rect.top) + " " + Utf8FromWide(name) +
                           "\t" + Utf8FromWide(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vexa_testdriver COMMAND ARGS...\n");
        return 2;
    }
    std::wstring command = argv[1];
    std::wstring arg = argv[2];
    int number = argc > 3 ? _wtoi(argv[3]) : 0;
    const int seconds = number ? number : 10;
    if (command == L"fake-download-window")
        return FakeDownloadWindow(arg, seconds, FakeMode::Answering);
    if (command == L"fake-locked-window") return FakeDownloadWindow(arg, seconds, FakeMode::Locked);
    if (command == L"fake-hung-window") return FakeDownloadWindow(arg, seconds, FakeMode::Hung);
    if (command == L"hold-desktop") return HoldDesktop(arg);
    if (command == L"count-windows") {
        std::printf("%u\n", static_cast<unsigned>(WindowsTitled(arg).size()));
        return 0;
    }
    if (command == L"wait-window") {
        for (int i = 0; i < (number ? number : 10) * 20; ++i) {
            if (OneWindow(arg)) return 0;
            ::Sleep(50);
        }
        return 3;
    }
    if (command == L"send-command-on-file" && argc > 5) {
        const DWORD deadline = ::GetTickCount() + 1000u * static_cast<DWORD>(_wtoi(argv[5]));
        HWND hwnd = nullptr;
        std::printf("ready\n");
        std::fflush(stdout);
        while (::GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES ||
               !(hwnd = OneWindow(arg))) {
            if (static_cast<LONG>(::GetTickCount() - deadline) > 0) return 3;
            ::Sleep(10);
        }
        LRESULT result = ::SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(number), 0);
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"find-class") return ::FindWindowW(arg.c_str(), nullptr) ? 0 : 1;
    if (command == L"visible-class") {
        HWND hwnd = ::FindWindowW(arg.c_str(), nullptr);
        std::printf("%d\n", hwnd && ::IsWindowVisible(hwnd) ? 1 : 0);
        return hwnd ? 0 : 1;
    }
    if (command == L"post-to-class" && argc > 5) {
        HWND hwnd = ::FindWindowW(arg.c_str(), nullptr);
        if (!hwnd) return 1;
        return ::PostMessageW(hwnd, static_cast<UINT>(_wtoi(argv[3])),
                              static_cast<WPARAM>(_wtoi(argv[4])),
                              static_cast<LPARAM>(_wtoi(argv[5])))
                   ? 0
                   : 1;
    }
    if (command == L"send-to-class" && argc > 5) {
        HWND hwnd = ::FindWindowW(arg.c_str(), nullptr);
        if (!hwnd) return 1;
        LRESULT result = ::SendMessageW(hwnd, static_cast<UINT>(_wtoi(argv[3])),
                                        static_cast<WPARAM>(_wtoi(argv[4])),
                                        static_cast<LPARAM>(_wtoi(argv[5])));
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"list-windows") return ListWindows(arg);
    HWND hwnd = OneWindow(arg);
    if (!hwnd) {
        std::fprintf(stderr, "no window titled that\n");
        return 1;
    }
    if (command == L"post-quit") {
        DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
        return ::PostThreadMessageW(thread, WM_QUIT, static_cast<WPARAM>(number), 0) ? 0 : 1;
    }
    if (command == L"send-command") {
        LRESULT result = ::SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(number), 0);
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"class-of") {
        wchar_t name[256] = {};
        ::GetClassNameW(hwnd, name, 255);
        std::printf("%ls\n", name);
        return 0;
    }
    if (command == L"post-key") {
        WPARAM key = static_cast<WPARAM>(number);
        bool posted = ::PostMessageW(hwnd, WM_KEYDOWN, key, 1) &&
                      ::PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
        return posted ? 0 : 1;
    }
    if (command == L"crash-remote") return CrashRemote(hwnd);
    if (command == L"window-rect") {
        RECT rect;
        ::GetWindowRect(hwnd, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    return 2;
}
