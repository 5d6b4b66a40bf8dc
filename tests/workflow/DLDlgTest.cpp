// The download window's sequencing, driven in-process: the real CDLDlg over a scripted
// engine, with commands and timer ticks sent as the window would get them, prompts answered
// from a script and every visible change read from its trace. No server, no clicks.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/DownloaderConfig.h"
#include "probes/FileProbes.h"
#include "prompts/FileCheckFailedDlg.h"
#include "prompts/PromptDlg.h"
#include "workflow/ButtonModes.h"
#include "workflow/DLDlg.h"
#include "workflow/DownloadWindowIds.h"
#include "workflow/TransferTasks.h"
#include "workflow/WorkflowState.h"
#include "workflow/WorkflowTexts.h"

namespace {

constexpr wchar_t kCompanionLink[] = L"http://test/q/quillet_setup.exe";
constexpr wchar_t kCompanionMutex[] = L"quilletdownloading_{947FA079-EA1A-4987-BE02-F4E20A20CD1C}";

// The engine as a table of tasks whose figures the test sets.
class CFakeTasks : public ITransferTasks {
public:
    struct Task {
        std::wstring url;
        std::wstring target;
        bool started = false;
        bool removed = false;
        TaskFigures figures;
    };

    void Init() override {}
    void SetSeeds(const std::wstring&) override {}
    int Create(void*, const std::wstring& url, const std::wstring& target) override {
        for (const std::wstring& part : refused) {
            if (url.find(part) != std::wstring::npos) return kNoTask;
        }
        Task task;
        task.url = url;
        task.target = target;
        tasks.push_back(task);
        return static_cast<int>(tasks.size()) - 1;
    }
    TaskFigures Query(int task) const override {
        return Known(task) ? tasks[task].figures : TaskFigures();
    }
    void Start(int task) override {
        if (Known(task)) tasks[task].started = true;
    }
    void Stop(int task) override {
        if (Known(task)) tasks[task].started = false;
    }
    void Remove(int task) override {
        if (Known(task)) tasks[task].removed = true;
    }
    void Uninit() override {}

    // The task's file arrives whole: written to its target, state 1.
    void Finish(int task, uint64_t size) {
        Task& t = tasks.at(task);
        std::string bytes(static_cast<size_t>(size), 'v');
        HANDLE file = ::CreateFileW(t.target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
        t.figures = {size, size, 0, 1};
    }
    int Last() const { return static_cast<int>(tasks.size()) - 1; }
    int Count() const { return static_cast<int>(tasks.size()); }

    std::vector<Task> tasks;
    std::vector<std::wstring> refused;  // links containing one of these are refused

private:
    bool Known(int task) const { return task >= 0 && task < static_cast<int>(tasks.size()); }
};

// A folder of its own for each window: a new name every time, since Wine reuses process ids.
std::wstring NewScratchFolder() {
    for (unsigned serial = 0;; ++serial) {
        std::wstring folder = GetTempFolder() + L"dldlg_" + std::to_wstring(::GetTickCount()) +
                              L"_" + std::to_wstring(serial) + L"\\";
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    }
}

void RemoveScratchFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ::DeleteFileW((folder + found.cFileName).c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

// One download window over a package of files of the given sizes.
class CWindowRig {
public:
    explicit CWindowRig(std::vector<uint64_t> sizes, bool companion = false,
                        DownloadWindowOptions options = DownloadWindowOptions(),
                        const wchar_t* safecheck = L"0")
        : folder_(NewScratchFolder()), config_(Site()) {
        ConfigValues values;
        values.gameName = L"Starfall";
        values.safeCheck = safecheck;
        if (companion) values.quilletDownloaderLink = kCompanionLink;
        for (size_t i = 0; i < sizes.size(); ++i) {
            PackageFile file;
            file.size = sizes[i];
            file.link = L"http://test/pkg/part" + std::to_wstring(i) + L".bin";
            file.md5 = L"md5of" + std::to_wstring(i);
            values.parts.push_back(file);
        }
        config_.UseValues(values);
        values_ = values;
        workflow_.SetPackage(values.parts);
        services_.config = &config_;
        services_.workflow = &workflow_;
        services_.tasks = &tasks;
        services_.stateFilePath = folder_ + L"state.tmp.cfg";
        options.chooseFolder = [this](HWND, std::wstring* folder) {
            *folder = folder_;
            return true;
        };
        options.isOnline = [this] { return online; };
        options.runPrompt = [this](CPromptBase& prompt) { return Answer(prompt); };
        options.openInShell = [this](const std::wstring& path, bool) { opened.push_back(path); };
        options.openProgram = [this](const std::wstring& path) {
            opened.push_back(path);
            return true;
        };
        options.isTrusted = [](const std::wstring&) { return true; };
        options.startProgram = [this](const std::wstring&, const std::wstring&,
                                      const std::wstring&) {
            ++installersStarted;
            return true;
        };
        options.trace = [this](const std::wstring& line) { trace.push_back(line); };
        window_ = std::make_unique<CDLDlg>(services_, options);
        hwnd_ = window_->CreateDownloadWindow();
    }

    ~CWindowRig() {
        if (window_ && window_->IsWindow()) Command(kQuitCommand);
        window_.reset();
        // The quit the window posted is not for the test runner.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RemoveScratchFolder(folder_);
    }

    bool Created() const { return hwnd_ != nullptr; }
    void SetGameStart(const std::wstring& program) {
        values_.gameStart = program;
        config_.UseValues(values_);
    }
    CDLDlg& Window() { return *window_; }
    int Mode() const { return window_->GetButtonMode(); }
    const std::wstring& Folder() const { return folder_; }
    std::wstring Target(size_t file) const {
        return folder_ + L"part" + std::to_wstring(file) + L".bin";
    }

    void Command(unsigned id, LPARAM lParam = 0) { ::SendMessageW(hwnd_, WM_COMMAND, id, lParam); }
    void Tick(unsigned timer = kProgressTimer) { ::SendMessageW(hwnd_, WM_TIMER, timer, 0); }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) Tick();
    }
    // The folder, then the download button, as a user would.
    void StartDownload() {
        Command(kChangeFolderCommand);
        Command(kStartCommand);
    }

    // Handles what other threads send this one (the next-file worker's start command) until
    // `done` holds; false after ten seconds without it.
    bool SentMessagesUntil(const std::function<bool()>& done) {
        DWORD deadline = ::GetTickCount() + 10000;
        while (!done()) {
            if (static_cast<LONG>(deadline - ::GetTickCount()) <= 0) return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_SENDMESSAGE);
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        return true;
    }

    bool Saw(const std::wstring& line) const {
        for (const std::wstring& seen : trace) {
            if (seen == line) return true;
        }
        return false;
    }
    std::string TraceText() const {
        std::string text;
        for (const std::wstring& line : trace) {
            for (wchar_t c : line) text.push_back(c < 128 ? static_cast<char>(c) : '?');
            text.push_back('\n');
        }
        return text;
    }
    int Prompted(const std::wstring& text) const {
        int count = 0;
        for (const std::wstring& shown : prompts) count += shown == text;
        return count;
    }

    CFakeTasks tasks;
    bool online = true;
    std::map<std::wstring, std::deque<int>> answers;  // prompt text -> results in turn
    std::function<void(CPromptBase&)> onPrompt;       // runs while a prompt is "open"
    std::vector<std::wstring> prompts;
    std::vector<std::wstring> opened;
    std::vector<std::wstring> trace;
    std::atomic<int> installersStarted{0};

private:
    ConfigSite Site() const {
        static int serial = 0;
        ConfigSite site;
        site.packageId = L"{DLDLG-TEST-" + std::to_wstring(++serial) + L"}";
        site.tempFolder = folder_;
        return site;
    }
    int Answer(CPromptBase& prompt) {
        prompts.push_back(prompt.GetMessageText());
        if (onPrompt) onPrompt(prompt);
        std::deque<int>& queue = answers[prompt.GetMessageText()];
        if (queue.empty()) return kPromptClosed;
        int result = queue.front();
        queue.pop_front();
        return result;
    }

    std::wstring folder_;
    ConfigValues values_;
    CDownloaderConfig config_;
    CWorkflowState workflow_;
    DownloadWindowServices services_;
    std::unique_ptr<CDLDlg> window_;
    HWND hwnd_ = nullptr;
};

DownloadWindowOptions Quick(unsigned stallSeconds, unsigned retries, unsigned companionIdle = 5) {
    DownloadWindowOptions options;
    options.stallSeconds = stallSeconds;
    options.stallRetries = retries;
    options.companionIdleLimit = companionIdle;
    return options;
}

// Ends the process when its scope is not left within 20 seconds: a call that waits for
// itself would otherwise hang the whole test run.
class CWatchdog {
public:
    CWatchdog() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = ::CreateThread(nullptr, 0, &Watch, done_, 0, nullptr);
    }
    ~CWatchdog() {
        ::SetEvent(done_);
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        ::CloseHandle(done_);
    }

private:
    static DWORD WINAPI Watch(void* done) {
        if (::WaitForSingleObject(done, 20000) == WAIT_OBJECT_0) return 0;
        std::fprintf(stderr, "the window waited for itself\n");
        ::ExitProcess(3);
    }
    HANDLE done_;
    HANDLE thread_;
};

bool HeldByAnyone(const wchar_t* mutexName) {
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, mutexName);
    if (!mutex) return false;
    ::CloseHandle(mutex);
    return true;
}

}  // namespace

TEST(DownloadWindow, HasTheSystemMenuAndStartsInDownloadMode) {
    CWindowRig rig({100});
    ASSERT_TRUE(rig.Created());
    EXPECT_NE(::GetWindowLongW(rig.Window().m_hWnd, GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_EQ(rig.Mode(), kModeDownload);
}

TEST(DownloadWindow, ThreeFilesArriveOneAfterAnotherThroughTheWorker) {
    CWindowRig rig({100, 200, 300});
    ASSERT_TRUE(rig.Created());
    rig.StartDownload();
    ASSERT_EQ(rig.tasks.Count(), 1);
    EXPECT_EQ(rig.tasks.tasks[0].url, L"PDown://b7=1|http://test/pkg/part0.bin|h1=md5of0");
    EXPECT_EQ(rig.tasks.tasks[0].target, rig.Target(0));
    EXPECT_TRUE(rig.tasks.tasks[0].started);
    EXPECT_EQ(rig.Mode(), kModePause);
    const uint64_t sizes[] = {100, 200, 300};
    for (int file = 0; file < 3; ++file) {
        ASSERT_EQ(rig.tasks.Last(), file);
        rig.tasks.Finish(file, sizes[file]);
        rig.Tick();
        if (file < 2) {
            // The worker starts the next file once this one has given up its turn.
            ASSERT_TRUE(rig.SentMessagesUntil([&] { return rig.tasks.Count() == file + 2; }));
            EXPECT_TRUE(rig.tasks.tasks[file + 1].started);
            EXPECT_EQ(rig.Mode(), kModePause);
        }
    }
    EXPECT_EQ(rig.Prompted(L"Starfall下载完成，是否立即安装？"), 1);
    EXPECT_EQ(rig.Mode(), kModeInstall);
}

TEST(DownloadWindow, AStalledTransferIsRecreatedThenGivenUp) {
    CWindowRig rig({100}, false, Quick(2, 1));
    rig.StartDownload();
    rig.Ticks(2);
    EXPECT_EQ(rig.tasks.Count(), 1);
    rig.Tick();  // the third silent second
    EXPECT_TRUE(rig.Saw(L"stall retry"));
    ASSERT_EQ(rig.tasks.Count(), 2);
    // The same target under the plain link: the engine takes up its partial file.
    EXPECT_EQ(rig.tasks.tasks[1].url, L"http://test/pkg/part0.bin");
    EXPECT_EQ(rig.tasks.tasks[1].target, rig.Target(0));
    EXPECT_TRUE(rig.tasks.tasks[1].started);
    rig.Ticks(3);
    EXPECT_TRUE(rig.Saw(L"stall give-up"));
    EXPECT_EQ(rig.Prompted(kDownloadFailedText), 1);
    EXPECT_EQ(rig.Mode(), kModeRedownload);
    EXPECT_FALSE(rig.tasks.tasks[1].started);
}

TEST(DownloadWindow, OfflineStopsTheTransferAndThenOnlineResumesIt) {
    CWindowRig rig({100});
    rig.StartDownload();
    rig.online = false;
    rig.Tick();
    EXPECT_TRUE(rig.Saw(L"offline"));
    EXPECT_FALSE(rig.tasks.tasks[0].started);
    rig.Tick(kNetworkWaitTimer);
    EXPECT_EQ(rig.tasks.Count(), 1);
    rig.online = true;
    rig.Tick(kNetworkWaitTimer);
    ASSERT_EQ(rig.tasks.Count(), 2);
    EXPECT_TRUE(rig.tasks.tasks[1].started);
    EXPECT_EQ(rig.tasks.tasks[1].target, rig.Target(0));
    EXPECT_EQ(rig.Mode(), kModePause);
}

// A pause is the user's: neither the network coming back nor the next file's turn undoes it.
TEST(DownloadWindow, APauseStaysUntilResume) {
    CWindowRig offline({100});
    offline.StartDownload();
    offline.online = false;
    offline.Tick();
    offline.Command(kPauseCommand);
    offline.online = true;
    offline.Tick(kNetworkWaitTimer);
    EXPECT_EQ(offline.tasks.Count(), 1);
    EXPECT_FALSE(offline.tasks.tasks[0].started);
    EXPECT_EQ(offline.Mode(), kModeResume);

    CWindowRig boundary({100, 200});
    boundary.StartDownload();
    boundary.tasks.tasks[0].figures.state = 1;  // finished; its file comes a moment later
    boundary.Tick();
    boundary.Command(kPauseCommand);
    boundary.tasks.Finish(0, 100);
    boundary.Tick(kFileWaitTimer);
    ASSERT_TRUE(boundary.SentMessagesUntil([&] { return boundary.Saw(L"next file waits"); }));
    EXPECT_EQ(boundary.tasks.Count(), 1);
    EXPECT_EQ(boundary.Mode(), kModeResume);
    boundary.Command(kResumeCommand);
    ASSERT_EQ(boundary.tasks.Count(), 2);
    EXPECT_EQ(boundary.tasks.tasks[1].target, boundary.Target(1));
    EXPECT_TRUE(boundary.tasks.tasks[1].started);
}

TEST(DownloadWindow, TheCompanionComesFirstAndIsInstalledOncePerRun) {
    CWindowRig rig({100, 200}, true);
    rig.StartDownload();
    ASSERT_EQ(rig.tasks.Count(), 2);
    const int game = 0, companion = 1;
    EXPECT_EQ(rig.tasks.tasks[companion].url, kCompanionLink);
    // Its own folder: a hostile companion name cannot replace the program's settings file.
    EXPECT_EQ(rig.tasks.tasks[companion].target,
              GetTempFolder() + L"VexaCompanion\\quillet_setup.exe");
    EXPECT_TRUE(rig.tasks.tasks[companion].started);
    EXPECT_FALSE(rig.tasks.tasks[game].started);

    rig.tasks.Finish(companion, 700);
    rig.Tick();
    EXPECT_TRUE(rig.Saw(L"companion finished 1"));
    EXPECT_TRUE(rig.tasks.tasks[game].started);
    ASSERT_TRUE(rig.SentMessagesUntil([&] { return rig.installersStarted == 1; }));

    rig.tasks.Finish(game, 100);
    rig.Tick();
    ASSERT_TRUE(rig.SentMessagesUntil([&] { return rig.tasks.Count() == 3; }));
    rig.Ticks(3);
    rig.tasks.Finish(2, 200);
    rig.Tick();
    EXPECT_EQ(rig.Mode(), kModeInstall);
    EXPECT_EQ(rig.installersStarted, 1);
}

TEST(DownloadWindow, ASilentCompanionIsDroppedAndTheGameGoesOn) {
    CWindowRig rig({100}, true, Quick(90, 3, 2));
    rig.StartDownload();
    rig.Ticks(2);
    EXPECT_FALSE(rig.tasks.tasks[0].started);
    rig.Tick();
    EXPECT_TRUE(rig.Saw(L"companion finished 0"));
    EXPECT_TRUE(rig.tasks.tasks[0].started);
    EXPECT_EQ(rig.installersStarted, 0);
}

// The game task waits unstarted while the companion downloads; it has no partial file.
TEST(DownloadWindow, PauseAndResumeWhileTheCompanionDownloads) {
    CWindowRig rig({100}, true);
    rig.StartDownload();
    rig.Command(kPauseCommand);
    EXPECT_FALSE(rig.tasks.tasks[1].started);
    rig.Command(kResumeCommand);
    EXPECT_EQ(rig.Prompted(kFileDamagedText), 0);
    EXPECT_TRUE(rig.tasks.tasks[1].started);
    EXPECT_FALSE(rig.tasks.tasks[0].started);
    EXPECT_EQ(rig.Mode(), kModePause);
}

TEST(DownloadWindow, ALinkTheEngineRefusesFailsAtOnce) {
    CWindowRig game({100});
    game.tasks.refused = {L"part0.bin"};
    game.StartDownload();
    EXPECT_EQ(game.Prompted(kDownloadFailedText), 1);
    EXPECT_EQ(game.Mode(), kModeRedownload);

    CWindowRig companion({100}, true);
    companion.tasks.refused = {L"quillet"};
    companion.StartDownload();
    ASSERT_EQ(companion.tasks.Count(), 1);
    EXPECT_TRUE(companion.tasks.tasks[0].started);
    EXPECT_TRUE(companion.Saw(L"companion refused"));
    // Another copy may download the companion now.
    EXPECT_FALSE(HeldByAnyone(kCompanionMutex));

    CWindowRig retried({100}, false, Quick(1, 3));
    retried.StartDownload();
    retried.tasks.refused = {L"part0.bin"};
    retried.Ticks(2);
    EXPECT_TRUE(retried.Saw(L"task refused"));
    EXPECT_EQ(retried.Prompted(kDownloadFailedText), 1);
    EXPECT_EQ(retried.Mode(), kModeRedownload);
}

// The damaged-file prompt's button downloads the package again instead of leading back to
// the install button and the same prompt.
TEST(DownloadWindow, TheDamagedFilePromptDownloadsAgain) {
    CWindowRig rig({100});
    rig.StartDownload();
    rig.tasks.Finish(0, 100);
    rig.Tick();
    ASSERT_EQ(rig.Mode(), kModeInstall);
    ::DeleteFileW(rig.Target(0).c_str());
    rig.answers[kFileDamagedText] = {kPromptExtraButton};
    rig.Command(kInstallCommand);
    EXPECT_EQ(rig.Prompted(kFileDamagedText), 1);
    ASSERT_EQ(rig.tasks.Count(), 2);
    EXPECT_TRUE(rig.tasks.tasks[1].started);
    EXPECT_EQ(rig.Mode(), kModePause);
}

// The next file's folder check fails while the worker waits in its start command; "关闭"
// from the tray then must not wait for that worker.
TEST(DownloadWindow, QuitDuringTheNextFilesFolderPromptEnds) {
    CWindowRig rig({100, 200});
    rig.StartDownload();
    // Files stand where the folder check would make its test folder for the second file.
    for (const std::wstring& path : {rig.Target(1), rig.Target(1) + L".writetest"}) {
        rig.tasks.Finish(rig.tasks.Create(nullptr, L"", path), 7);
        rig.tasks.tasks.pop_back();
    }
    bool quitAsked = false;
    rig.onPrompt = [&](CPromptBase& prompt) {
        if (quitAsked || prompt.GetMessageText() != kNoPermissionText) return;
        quitAsked = true;
        CWatchdog watchdog;  // a window that waits for its own worker never comes back
        rig.Command(kQuitCommand);
    };
    rig.tasks.Finish(0, 100);
    rig.Tick();
    ASSERT_TRUE(rig.SentMessagesUntil([&] { return quitAsked; })) << rig.TraceText();
    EXPECT_TRUE(rig.Saw(L"quit"));
}

// With the MD5 check asked for, a file that fails it is never offered for installation and
// nothing is deleted unasked: one file leads to its folder (or stays), several are fetched
// again from the first, the finished files deleted and the worker stopped.
TEST(DownloadWindow, AFileThatFailsItsCheckIsNeverInstalled) {
    CWindowRig one({100}, false, DownloadWindowOptions(), L"1");
    one.StartDownload();
    one.answers[kCheckFailedText] = {kPromptExtraButton};
    one.tasks.Finish(0, 100);  // its MD5 is not the listed one
    one.Tick();
    EXPECT_TRUE(one.Saw(L"check failed"));
    EXPECT_EQ(one.Prompted(L"Starfall下载完成，是否立即安装？"), 0);
    EXPECT_EQ(one.Mode(), kModeInstall);
    ASSERT_EQ(one.opened.size(), 1u);
    EXPECT_EQ(one.opened[0], one.Target(0));  // its folder, the file selected
    EXPECT_TRUE(FileExists(one.Target(0).c_str()));
    one.Command(kInstallCommand);
    EXPECT_EQ(one.Prompted(kFileDamagedText), 1);
    EXPECT_EQ(one.opened.size(), 1u);  // never started

    CWindowRig three({100, 200, 300}, false, DownloadWindowOptions(), L"1");
    bool multiFileForm = false;
    three.onPrompt = [&](CPromptBase& prompt) {
        if (auto* checkFailed = dynamic_cast<CFileCheckFailedDlg*>(&prompt)) {
            multiFileForm = checkFailed->IsMultiFileForm();
        }
    };
    three.StartDownload();
    three.answers[kCheckFailedText] = {kPromptExtraButton};
    three.tasks.Finish(0, 100);
    three.Tick();
    EXPECT_TRUE(multiFileForm);
    EXPECT_TRUE(three.Saw(L"deleted " + three.Target(0)));
    ASSERT_EQ(three.tasks.Count(), 2);
    EXPECT_EQ(three.tasks.tasks[1].target, three.Target(0));
    EXPECT_TRUE(three.tasks.tasks[1].started);
    // The stopped worker never asks for the second file.
    three.Ticks(2);
    EXPECT_EQ(three.tasks.Count(), 2);
}

// Names from the configuration document never lead out of the download folder, and a
// folder that is gone is said, not opened.
TEST(DownloadWindow, InstallAndOpenStayInsideTheFolder) {
    CWindowRig rig({100, 200});
    rig.SetGameStart(L"..\\..\\x.exe");
    rig.StartDownload();
    rig.tasks.Finish(0, 100);
    rig.Tick();
    ASSERT_TRUE(rig.SentMessagesUntil([&] { return rig.tasks.Count() == 2; }));
    rig.tasks.Finish(1, 200);
    rig.Tick();
    ASSERT_EQ(rig.Mode(), kModeInstall);
    rig.Command(kInstallCommand);
    EXPECT_EQ(rig.Prompted(kFileErrorText), 1);
    EXPECT_TRUE(rig.opened.empty());

    RemoveScratchFolder(rig.Folder());
    rig.Command(kOpenFolderCommand);
    EXPECT_EQ(rig.Prompted(kFolderOpenFailedText), 1);
    EXPECT_TRUE(rig.opened.empty());
}

TEST(DownloadWindow, AHiddenWindowComesBackToAskAboutInstalling) {
    CWindowRig rig({100});
    rig.StartDownload();
    rig.Command(kCloseCommand);  // into the notification area (or the taskbar without one)
    HWND window = rig.Window().m_hWnd;
    EXPECT_TRUE(!::IsWindowVisible(window) || ::IsIconic(window));
    rig.onPrompt = [&](CPromptBase&) {
        EXPECT_TRUE(::IsWindowVisible(window) && !::IsIconic(window));
    };
    rig.tasks.Finish(0, 100);
    rig.Tick();
    EXPECT_EQ(rig.Prompted(L"Starfall下载完成，是否立即安装？"), 1);
}

// Explorer started again holds none of the old icons: the window puts its icon back when the
// new taskbar announces itself, or a hidden window could never be reached again.
TEST(DownloadWindow, TheTrayIconComesBackWithANewTaskbar) {
    CWindowRig rig({100});
    rig.Command(kCloseCommand);
    if (!rig.Saw(L"hidden")) GTEST_SKIP() << "this desktop has no notification area";
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = rig.Window().m_hWnd;
    icon.uID = kTrayIconId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &icon));  // the old taskbar is gone
    ::SendMessageW(icon.hWnd, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &icon));
}
