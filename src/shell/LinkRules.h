#pragma once
// Which link targets the program hands to the shell, and how a program path is quoted.
// Portable: no Win32 here, so the rules are tested natively.
//
// Links come from the configuration document and from the embedded page, both fetched over
// plain HTTP. The shell "opens" a local or network path by running it, so such a target could
// start a program on the user's computer; only web links and registered protocols are opened.

#include <string>

enum class LinkTargetKind {
    Empty,      // nothing to open
    Link,       // a scheme other than a file one: http, https, ftp, mailto, a registered protocol
    FilePath,   // a drive, UNC, relative or root path, or a file:/shell:-like URL
    Malformed,  // control characters or a text that is no link at all
};

LinkTargetKind ClassifyLinkTarget(const std::wstring& target);

// True only for LinkTargetKind::Link.
bool IsOpenableLink(const std::wstring& target);

// Whether the embedded page may navigate itself to `url`: links as above, plus the page's
// own script URLs and the browser's res: pages; never a file path or a local-file scheme,
// which the browser would hand to the shell.
bool IsPageNavigationAllowed(const std::wstring& url);

// Puts a drive path to a program in double quotes so that the shell does not split it at a
// space: "C:\Program Files\a.exe /S" -> "\"C:\Program Files\a.exe\" /S". The text is returned
// unchanged when it is already quoted, is not a drive path (a link's second character is not
// ':'), has no extension of a dot and three letters ending at a space or at its end, or when
// the quoted text would not fit in 512 characters.
std::wstring QuoteExecutablePath(const std::wstring& text);
