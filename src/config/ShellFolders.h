#pragma once
// Shell services around the download folder: the folder picker, showing a finished file in
// its folder, and writing shortcut files.

#include <windows.h>

#include <string>

// Lets the user pick a folder ("选择路径"). False on cancel, leaving `path` as it was;
// otherwise `path` is the folder as the shell gives it (no trailing backslash but for a
// drive root).
bool BrowseForFolder(HWND owner, std::wstring* path);

// Opens the folder that holds `path` with the item selected (a shortcut file selects its
// target). Nothing is shown when the shell cannot do it.
void OpenFolderAndSelect(const std::wstring& path);

// Writes the shortcut file `shortcutFile` to `target`. The save's result code (S_OK = 0), or
// the failure that kept the shell link object from being made.
HRESULT CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                       const std::wstring& workingFolder, const std::wstring& shortcutFile,
                       const std::wstring& description);
