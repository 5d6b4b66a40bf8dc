#pragma once
// The texts a crash report is made of: the dump folder's and dump file's paths and the
// uploader's command line. They are built into fixed buffers without touching the heap,
// because the crash may have happened inside the heap itself.

#include <cstddef>

constexpr size_t kCrashPathChars = 260;         // every path, the terminator included
constexpr size_t kUploaderCommandChars = 1024;  // the command line, the terminator included
constexpr int kDumpNumbers = 10;                // 000 to 009 are kept; later crashes reuse 010
constexpr wchar_t kDumpSubfolder[] = L"dump";
constexpr wchar_t kUploaderFileName[] = L"Plorex.exe";

// Appends to a terminated text in a buffer of `capacity` characters; what does not fit is
// cut. Answers false when something was cut.
bool AppendText(wchar_t* buffer, size_t capacity, const wchar_t* text);

// The text after the last backslash (or slash) of `path`; `path` itself when there is none.
const wchar_t* FileNamePart(const wchar_t* path);

// "folder\name": one backslash between them whatever `folder` ends with. False (and an
// empty text) when the result does not fit.
bool JoinPath(wchar_t* out, size_t capacity, const wchar_t* folder, const wchar_t* name);

// folder + "\" + programFile + "_" + three digits + ".dmp"; false (empty) when it does not
// fit or `number` is outside 0..999.
bool FormatDumpPath(wchar_t* out, size_t capacity, const wchar_t* folder,
                    const wchar_t* programFile, int number);

// "\"Plorex.exe\" \"<dumpPath>\" \"\"", cut to the buffer.
void FormatUploaderCommandLine(wchar_t* out, size_t capacity, const wchar_t* dumpPath);

// True for a text of the form "X:\..." with nothing in it that a folder name cannot hold:
// network ("\\server\..."), device ("\\?\...", "\\.\...") and relative paths answer false.
// Whether the folder exists and lies on a local drive is for the caller to ask.
bool IsAbsoluteDrivePath(const wchar_t* path);
