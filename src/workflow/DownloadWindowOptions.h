#pragma once
// What the download window is built with beyond the process-wide objects: the shipped
// thresholds, and the few services a test replaces (the folder picker, the trust check of
// the companion installer) or watches (the trace of the window's visible state).

#include <windows.h>

#include <functional>
#include <string>

#include "skin/PageLoad.h"
#include "workflow/TransferWatch.h"

class CDownloaderConfig;
class CDownloadManager;
class CPromptBase;
class CStatisticsMgr;
class CWorkflowState;
class ITransferTasks;

struct DownloadWindowServices {
    CDownloaderConfig* config = nullptr;   // not owned; read only
    CWorkflowState* workflow = nullptr;    // not owned
    CDownloadManager* engine = nullptr;    // not owned; bound or not
    CStatisticsMgr* statistics = nullptr;  // not owned; null drops the reports
    ITransferTasks* tasks = nullptr;       // not owned; null: the tasks of `engine`
    std::wstring stateFilePath;            // empty: the package's own settings file
};

struct DownloadWindowOptions {
    unsigned stallSeconds = CStallWatch::kShippedStallSeconds;
    unsigned stallRetries = CStallWatch::kShippedRetries;
    unsigned companionIdleLimit = CCompanionTracker::kShippedIdleLimit;
    unsigned fileWaitLimit = CFileWait::kShippedLimit;
    unsigned pageTimeLimitMs = CPageLoad::kShippedTimeLimitMs;  // the embedded page's load

    // Lets the user pick a folder; false on cancel. Default: the shell's folder browser.
    std::function<bool(HWND owner, std::wstring* folder)> chooseFolder;
    // Whether a downloaded installer may be started. Default: its Authenticode signature
    // verifies (WinVerifyTrust).
    std::function<bool(const std::wstring& path)> isTrusted;
    // Starts a trusted program silently; default ShellExecuteExW. Returns false on failure.
    std::function<bool(const std::wstring& path, const std::wstring& parameters,
                       const std::wstring& folder)>
        startProgram;
    // Whether the machine is online. Default: the connectivity probe.
    std::function<bool()> isOnline;
    // Runs a prompt made and filled by the window and returns its result. Default: shown
    // over the window in a nested message loop.
    std::function<int(CPromptBase& prompt)> runPrompt;
    // Opens a folder, or with `select` the folder of a file with the file selected.
    // Default: the shell.
    std::function<void(const std::wstring& path, bool select)> openInShell;
    // Starts the game's installer like a double click; false when nothing started. Default:
    // the shell, without its error box.
    std::function<bool(const std::wstring& path)> openProgram;
    // Sees one short line per visible change ("mode 2", "path D:\x\", ...); may be empty.
    std::function<void(const std::wstring& line)> trace;

    std::wstring feedbackUrl;  // empty: the stamped feedback page
    std::wstring giftCardUrl;  // opened when the configuration has no TextPromotionLink
    // A downloaded background: used when it decodes as a PNG of 680 x 420, otherwise (and
    // when empty) the built-in background shows.
    std::wstring backgroundPath;
};
