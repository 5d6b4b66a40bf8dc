#pragma once
// Every number the download window shares with others: its commands (the WM_COMMAND ids its
// buttons, links, worker, tray menu and a second copy of the program send), the ids of its
// label-only elements, its timers, its window messages and the program's icon. The program's
// start-up, the tray, the next-file worker and the tests all take them from here. Portable.

// WM_COMMAND ids. Most are also the element ids of the buttons and links that send them.
enum DownloadWindowCommand : unsigned {
    kCompanionBoxCommand = 7,
    kStartCommand = 10,  // also sent by the next-file worker, with kNextFileMarker
    kResumeCommand = 11,
    kPauseCommand = 12,
    kCloseCommand = 13,
    kMinimizeCommand = 14,
    kChangeFolderCommand = 15,
    kOpenFolderCommand = 16,
    kFeedbackCommand = 17,
    kInstallCommand = 18,
    kPromotionCommand = 19,
    kRedownloadCommand = 20,
    kShowCommand = 2025,  // a second copy, the tray, a finished package: show and raise
    kQuitCommand = 2026,  // the tray menu's "关闭": the only way out of the program
};

// lParam of the worker's kStartCommand: the next file of the package, with the list as it is.
constexpr long kNextFileMarker = 5555;

// Elements that only show something and send nothing.
enum DownloadWindowLabelId : unsigned {
    kUnnamedLabelId = 0,  // the companion label and the version text
    kProgressId = 4,
    kTitleId = 5,
    kProgressLabelId = 9,
    kSpeedTextId = 10,
    kPathLabelId = 11,
    kPathTextId = 23,
};

enum DownloadWindowTimer : unsigned {
    kProgressTimer = 0,     // every second while a transfer runs
    kNetworkWaitTimer = 1,  // every second while offline
    kFileWaitTimer = 2,     // every second until a finished task's file appears
};

// Window messages beside WM_COMMAND.
enum DownloadWindowMessage : unsigned {
    kTrayMessage = 2025,             // the notification-area icon's callback
    kShowDefaultPageMessage = 3232,  // the page view could not show its page
};

constexpr unsigned kTrayIconId = 32513;
constexpr unsigned kProgramIconId = 119;  // icon resource of the program's windows
