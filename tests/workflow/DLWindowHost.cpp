// Runs the download window the way the program will once its configuration is read, for the
// end-to-end tests: the stamped copy's configuration server gives the package, the real
// engine downloads it, and every visible change is printed as one UTF-8 line.
//
//   dlwindow_host.exe [--stall-seconds N] [--retries N] [--companion-idle N]
//                     [--page-time-limit MS] [--trust yes|no] [--choose FOLDER|cancel]...
//                     [--answer CLASS:RESULT]... [--bench N]
//
// --bench N: once a transfer runs, times N progress-timer ticks and N full repaints of the
// window and prints "bench tick-us <mean> paint-us <mean>" (scripts/bench/dlwindow.sh).
//
// Prompts are answered from outside the program's code, as a user would: the n-th prompt of a
// class gets the n-th answer given for it (RESULT 0 close box, 1 second button, 2 extra
// button, 3 link, "quit" posts WM_QUIT to the thread, "keep" leaves it open); "R@CLASS" waits
// until a prompt of CLASS is shown, "R@-CLASS" until none is, "R@~PATH" until the file PATH
// exists (the test has taken its screenshot). Lines printed
// besides the window's own trace: "config <result>", "window <left> <top>", "prompt-made
// shown|hidden" (a prompt is being created, visible or not), "prompt-window
// <class> <left> <top>", "started <path>" (an installer the trust check let through), "mouse
// down|up <x> <y>" (a click reached the window), "exit".
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <typeinfo>

#include "config/DownloaderConfigInstance.h"
#include "probes/EnvironmentInstance.h"
#include "prompts/PromptDlg.h"
#include "shell/AppModuleInstance.h"
#include "shell/MessageLoop.h"
#include "stats/StatisticsMgrInstance.h"
#include "transfer/DownloadManager.h"
#include "workflow/DLDlg.h"
#include "workflow/WorkflowStateInstance.h"

namespace {

void Say(const std::wstring& line) {
    int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &text[0], size, nullptr, nullptr);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::map<std::string, std::deque<std::wstring>> g_answers;  // prompt class -> answers
std::deque<std::wstring> g_folders;                         // answers of the folder picker
HHOOK g_hook = nullptr;
std::deque<HWND> g_newPrompts;
int g_benchRounds = 0;
HWND g_window = nullptr;
constexpr UINT kBenchMessage = WM_APP + 77;

double MicrosecondsPerCall(int rounds, const std::function<void()>& call) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) call();
    ::QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart) / rounds;
}

// Runs on the window thread when the first transfer has started.
class CBenchFilter : public CMessageFilter {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message != kBenchMessage || !g_window) return FALSE;
        double tick = MicrosecondsPerCall(g_benchRounds, [] {
            ::SendMessageW(g_window, WM_TIMER, 0, 0);  // the progress timer's own work
        });
        double paint = MicrosecondsPerCall(g_benchRounds, [] {
            ::RedrawWindow(g_window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        });
        wchar_t line[128];
        swprintf(line, 128, L"bench tick-us %.1f paint-us %.1f", tick, paint);
        Say(line);
        return TRUE;
    }
};

// Tells the tests that a click reached the window ("mouse down X Y", "mouse up X Y", window
// coordinates), before the window acts on it.
class CMouseTrace : public CMessageFilter {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        if (!g_window || msg->hwnd != g_window) return FALSE;
        if (msg->message != WM_LBUTTONDOWN && msg->message != WM_LBUTTONUP) return FALSE;
        Say(std::wstring(msg->message == WM_LBUTTONDOWN ? L"mouse down " : L"mouse up ") +
            std::to_wstring(static_cast<short>(LOWORD(msg->lParam))) + L" " +
            std::to_wstring(static_cast<short>(HIWORD(msg->lParam))));
        return FALSE;
    }
};

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));
    return out;
}

std::string PromptClassOf(HWND hwnd) {
    CWindowImplBase* window = CWindowImplBase::FromHandle(hwnd);
    if (!window) return {};
    std::string name = typeid(*window).name();  // mangled: "10CDirErrDlg"
    size_t start = name.find_first_not_of("0123456789");
    return start == std::string::npos ? name : name.substr(start);
}

struct PendingAnswer {
    HWND prompt;
    std::string cls;
    std::wstring answer;  // "2", "2@CLASS" (once CLASS is shown), "2@-CLASS" (once it is gone)
};
std::deque<PendingAnswer> g_pending;

bool PromptOfClassExists(const std::string& cls) {
    for (HWND hwnd = ::GetTopWindow(nullptr); hwnd; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT)) {
        if (::IsWindowVisible(hwnd) && PromptClassOf(hwnd) == cls) return true;
    }
    return false;
}

bool ConditionHolds(const std::wstring& answer) {
    size_t at = answer.find(L'@');
    if (at == std::wstring::npos) return true;
    if (at + 1 < answer.size() && answer[at + 1] == L'~') {
        return ::GetFileAttributesW(answer.c_str() + at + 2) != INVALID_FILE_ATTRIBUTES;
    }
    bool gone = at + 1 < answer.size() && answer[at + 1] == L'-';
    std::string cls = Narrow(answer.substr(at + (gone ? 2 : 1)).c_str());
    return PromptOfClassExists(cls) != gone;
}

void Answer(const PendingAnswer& pending) {
    std::wstring answer = pending.answer.substr(0, pending.answer.find(L'@'));
    Say(L"answer " + std::wstring(pending.cls.begin(), pending.cls.end()) + L" " + answer);
    if (answer == L"quit") {
        ::PostQuitMessage(7);
        return;
    }
    // The button the user would press: 0 close box, 1 second, 2 extra, 3 link.
    ::PostMessageW(pending.prompt, WM_COMMAND, 100 + _wtoi(answer.c_str()), 0);
}

// Every 200 ms: announces new prompts and gives the answers whose time has come.
void CALLBACK AnswerPrompts(HWND, UINT, UINT_PTR, DWORD) {
    while (!g_newPrompts.empty()) {
        HWND prompt = g_newPrompts.front();
        g_newPrompts.pop_front();
        if (!::IsWindow(prompt)) continue;
        std::string cls = PromptClassOf(prompt);
        RECT rect = {};
        ::GetWindowRect(prompt, &rect);
        Say(L"prompt-window " + std::wstring(cls.begin(), cls.end()) + L" " +
            std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top));
        auto& answers = g_answers[cls];
        if (answers.empty() || answers.front() == L"keep") {
            if (!answers.empty()) answers.pop_front();
            continue;
        }
        g_pending.push_back({prompt, cls, answers.front()});
        answers.pop_front();
    }
    for (size_t i = 0; i < g_pending.size();) {
        if (!::IsWindow(g_pending[i].prompt)) {
            g_pending.erase(g_pending.begin() + i);
        } else if (ConditionHolds(g_pending[i].answer)) {
            PendingAnswer ready = g_pending[i];
            g_pending.erase(g_pending.begin() + i);
            Answer(ready);
        } else {
            ++i;
        }
    }
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        if (create->lpcs->cx == CPromptBase::kWidth && create->lpcs->cy == CPromptBase::kHeight) {
            g_newPrompts.push_back(reinterpret_cast<HWND>(wParam));
            Say((create->lpcs->style & WS_VISIBLE) ? L"prompt-made shown" : L"prompt-made hidden");
        }
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

void ParseArguments(int argc, wchar_t** argv, DownloadWindowOptions* options) {
    for (int i = 1; i + 1 < argc; ++i) {
        std::wstring name = argv[i];
        std::wstring value = argv[i + 1];
        if (name == L"--stall-seconds")
            options->stallSeconds = _wtoi(value.c_str());
        else if (name == L"--retries")
            options->stallRetries = _wtoi(value.c_str());
        else if (name == L"--companion-idle")
            options->companionIdleLimit = _wtoi(value.c_str());
        else if (name == L"--file-wait")
            options->fileWaitLimit = _wtoi(value.c_str());
        else if (name == L"--page-time-limit")
            options->pageTimeLimitMs = _wtoi(value.c_str());
        else if (name == L"--bench")
            g_benchRounds = _wtoi(value.c_str());
        else if (name == L"--choose")
            g_folders.push_back(value);
        else if (name == L"--trust") {
            bool trusted = value == L"yes";
            options->isTrusted = [trusted](const std::wstring& path) {
                Say(L"trust-check " + path);
                return trusted;
            };
        } else if (name == L"--answer") {
            size_t colon = value.find(L':');
            if (colon == std::wstring::npos) continue;
            g_answers[Narrow(value.substr(0, colon).c_str())].push_back(value.substr(colon + 1));
        } else {
            continue;
        }
        ++i;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::OleInitialize(nullptr);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    g_Module.Init(nullptr, instance);
    g_Environment.Init(instance);
    std::wstring packageId = g_Config.GetPackageId();
    HANDLE instanceMutex = ::CreateMutexW(nullptr, FALSE, packageId.c_str());

    DownloadWindowOptions options;
    ParseArguments(argc, argv, &options);
    options.trace = [](const std::wstring& line) {
        Say(line);
        static bool benched = false;
        if (g_benchRounds && !benched && line == L"mode 2") {
            benched = true;
            ::PostThreadMessageW(::GetCurrentThreadId(), kBenchMessage, 0, 0);
        }
    };
    options.chooseFolder = [](HWND, std::wstring* folder) {
        if (g_folders.empty() || g_folders.front() == L"cancel") {
            if (!g_folders.empty()) g_folders.pop_front();
            Say(L"choose cancel");
            return false;
        }
        *folder = g_folders.front();
        g_folders.pop_front();
        Say(L"choose " + *folder);
        return true;
    };
    options.startProgram = [](const std::wstring& path, const std::wstring&, const std::wstring&) {
        Say(L"started " + path);
        return true;
    };

    int configResult = g_Config.Init(nullptr);
    Say(L"config " + std::to_wstring(configResult));
    g_Workflow.SetPackage(g_Config.GetParts());
    if (g_pStatisticsMgr) g_pStatisticsMgr->Start();

    CMessageLoop loop;
    g_Module.AddMessageLoop(&loop);
    DownloadWindowServices services;
    services.config = &g_Config;
    services.workflow = &g_Workflow;
    services.engine = &CDownloadManager::Instance();
    services.statistics = g_pStatisticsMgr;
    Say(std::wstring(L"engine ") + (services.engine->IsBound() ? L"bound" : L"unbound"));
    g_hook = ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId());
    ::SetTimer(nullptr, 0, 200, &AnswerPrompts);
    int code = 0;
    CBenchFilter bench;
    loop.AddMessageFilter(&bench);
    CMouseTrace mouseTrace;
    loop.AddMessageFilter(&mouseTrace);
    {
        CDLDlg window(services, options);
        loop.AddMessageFilter(&window);
        if ((g_window = window.CreateDownloadWindow()) != nullptr) {
            RECT rect = {};
            window.GetWindowRect(&rect);
            Say(L"window " + std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top));
            code = loop.Run();
        }
        loop.RemoveMessageFilter(&window);
        g_window = nullptr;
    }
    loop.RemoveMessageFilter(&mouseTrace);
    loop.RemoveMessageFilter(&bench);
    ::UnhookWindowsHookEx(g_hook);
    g_Module.RemoveMessageLoop();
    Say(L"exit " + std::to_wstring(code));
    ::CloseHandle(instanceMutex);
    return 0;
}
