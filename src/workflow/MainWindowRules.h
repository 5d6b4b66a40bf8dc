#pragma once
// The main window's decisions, free of Win32: how the two configuration fetches map onto
// its progress bar, the bar's race to the hand-over, whether the package can be handed to
// the download window at all, and whether this downloader is older than the one the
// configuration announces.

#include <cstdint>
#include <deque>
#include <string>

#include "config/PackageFile.h"

// The configuration fetch's report that carries progress (the HTTP client's state 5).
constexpr int kInitProgressState = 5;
// Where the bar races to once the configuration has been read, and its step per tick.
constexpr int kInitRaceCeiling = 98;
constexpr int kInitRaceStep = 2;
// The size a downloaded download-window background must have.
constexpr uint32_t kDownloadBackgroundWidth = 680;
constexpr uint32_t kDownloadBackgroundHeight = 420;

// Percent of the main window's bar for one progress report of the configuration fetch:
// the document (tag 1) fills 0 to 20, the skin image (tag 2) 20 to 40; anything else
// (another tag, an unknown total) gives 0. -1 for a report that is ignored: any other
// state than progress, or no tag.
int InitStatusPercent(uint32_t received, uint32_t total, int state, int tag);

// The bar after one tick of the race: two points more, never above the ceiling.
int NextRacePercent(int percent);

// Whether the hand-over happens at a tick that starts with this percent.
bool RaceFinished(int percent);

// Whether the package can go to the download window: a package identifier, and a front
// file with a name, a size and a link; every file's name must be one plain file name and
// no two may name the same file (the download window writes them into one folder).
bool PassesPackageCheck(const std::deque<PackageFile>& files, const std::wstring& packageId);

// Whether this downloader (version text `own`) counts as older than `announced`: texts of
// different lengths always do; otherwise their first five characters are compared and the
// own one sorting first is older.
bool IsDownloaderOlder(const std::wstring& own, const std::wstring& announced);


// Whether an image of that size may be the download window's background.
bool FitsDownloadBackground(uint32_t width, uint32_t height);

// The desktop shortcut's name (without ".lnk") for the program at `programPath`: its file
// name without the last extension.
std::wstring ShortcutStemFor(const std::wstring& programPath);
