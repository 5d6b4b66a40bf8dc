#pragma once
// The crash dumps the uploaders sent (stored as <package>/<version>/<client>_<time>_<NNN>.dmp
// under the staged dump folder), listed, and each one read by LLDB: the exception and the
// faulting thread's call stack, with function names and lines from the symbols kept for the
// dump's version (SYMBOLS/<version>/: the program as built and its .debug file).

#include <string>
#include <vector>

#include "Arguments.h"

namespace publish {

struct DumpEntry {
    std::string path;
    std::string package;
    std::string version;
    std::string client;
    std::string time;  // "yyyy-mm-dd hh:mm:ss" UTC, from the name; empty when not in it
    std::string number;
};

// The dump's place in the upload layout (folder names and file name); false for a file
// that is not a dump of that layout.
bool ParseDumpPath(const std::string& relative, DumpEntry* entry);

// Every dump under `folder`, by package, version and time.
std::vector<DumpEntry> FindDumps(const std::string& folder);

struct CrashFrame {
    std::string address;
    std::string module;
    std::string function;  // with its offset, "wmain + 171"; empty when unknown
    std::string line;      // "CrashChild.cpp:120:5"; empty without line tables
};

struct CrashStack {
    std::string exceptionCode;  // "0xc0000005"
    std::string exceptionAddress;
    std::vector<CrashFrame> frames;  // the faulting thread, innermost first
};

// What `lldb --batch ... -o "thread backtrace"` printed for the dump's stopped thread.
bool ParseBacktrace(const std::string& text, CrashStack* stack);

// "access violation" for 0xc0000005 and the other codes a crash of the program can have.
std::string ExceptionName(const std::string& code);

// `crashes --dumps FOLDER [--symbols FOLDER] [--lldb PROGRAM]`
int CrashesCommand(const CArguments& args);

}  // namespace publish
