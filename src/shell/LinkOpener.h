#pragma once
// Opening links and programs with the Windows shell. No state.
//
// Link targets (from the configuration document or the embedded page) pass the rules of
// LinkRules.h first: local and network file paths are never handed to the shell, so a
// tampered document or page cannot start a program. Programs the downloader runs itself
// (installers it has just checked) go through ShellExecuteAndGetProcess, which has no such
// rule.

#include <windows.h>

#include <string>

#include "shell/LinkRules.h"

// ShellExecuteEx "open" without the shell's error box, for a target the caller has already
// judged (a link that passed the rules, a program the downloader checked itself). False when
// nothing was opened; GetLastError() says why.
bool ShellOpenWithoutErrorUi(const std::wstring& target);

// Opens a link with its registered handler (ShellExecuteEx "open", no error UI), falling back
// to the browser executable when the shell has no handler. File paths are refused.
void OpenUrl(const std::wstring& target);

// ShellExecuteW(null, "open", link, null, null, SW_SHOW) for a link that passes the rules.
// Returns false when the link was refused or the shell failed.
bool ShellOpenLink(const std::wstring& link);

// Starts "<Program Files>\Internet Explorer\IEXPLORE.EXE" with the target as its parameter
// text. 1 when the start was attempted, 0 when the browser's path cannot be built.
int OpenInBrowserExecutable(const std::wstring& target);

// ShellExecuteEx without a verb, file and parameters quoted with QuoteExecutablePath.
// Returns the new process (the caller closes it), or null on failure.
HANDLE ShellExecuteAndGetProcess(const std::wstring& file, const std::wstring& parameters,
                                 const wchar_t* directory, int showCommand);
