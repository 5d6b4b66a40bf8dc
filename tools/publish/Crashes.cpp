#include "Crashes.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "LocalFiles.h"
#include "Subprocess.h"

namespace fs = std::filesystem;

namespace publish {
namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "20261208T143000Z" as "2026-12-08 14:30:00"; empty for anything else.
std::string DumpTime(const std::string& text) {
    if (text.size() != 16 || text[8] != 'T' || text[15] != 'Z' ||
        !AllDigits(text.substr(0, 8) + text.substr(9, 6)))
        return std::string();
    return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + " " +
           text.substr(9, 2) + ":" + text.substr(11, 2) + ":" + text.substr(13, 2);
}

std::string FindLldb(const std::string& wanted) {
    if (!wanted.empty()) return OnPath(wanted) ? wanted : std::string();
    for (const char* name : {"lldb", "lldb-16", "lldb-15", "lldb-14"})
        if (OnPath(name)) return name;
    return std::string();
}

// The program of a released version: the one .exe kept there other than the uploader.
std::string ProgramOf(const std::string& symbols, const std::string& version) {
    std::error_code code;
    std::vector<std::string> programs;
    for (const auto& entry : fs::directory_iterator(PathOf(symbols + "/" + version), code)) {
        const std::string name = Utf8Of(entry.path().filename());
        if (entry.path().extension() == ".exe" && name != "Plorex.exe")
            programs.push_back(Utf8Of(entry.path()));
    }
    std::sort(programs.begin(), programs.end());
    return programs.empty() ? std::string() : programs.front();
}

void AddLines(const std::string& program, CrashStack* stack);

// LLDB reads the dump through a name of our own in a private folder: the uploaded name is
// not handed to its command parser.
bool ReadStack(const std::string& lldb, const std::string& program, const DumpEntry& dump,
               CrashStack* stack, std::string* error) {
    if (program.find('"') != std::string::npos) {
        *error = "a symbol folder path with a quotation mark";
        return false;
    }
    char folder[] = "/tmp/vexa-crash.XXXXXX";
    if (!mkdtemp(folder)) {
        *error = "no temporary folder";
        return false;
    }
    const std::string copy = std::string(folder) + "/crash.dmp";
    std::string output;
    const bool placed = PlaceFile(dump.path, copy, error);
    const bool ran =
        placed && RunCapturing({"timeout", "120", lldb, "--batch", "--no-lldbinit", "-o",
                                "target create \"" + program + "\" --core \"" + copy + "\"", "-o",
                                "thread backtrace"},
                               &output);
    std::error_code code;
    fs::remove_all(folder, code);
    if (!placed) return false;
    if (!ran || !ParseBacktrace(output, stack)) {
        *error = "LLDB could not read it";
        return false;
    }
    AddLines(program, stack);
    return true;
}

std::string FirstOnPath(std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (OnPath(name)) return name;
    return std::string();
}

// One symbolizer answer per address, blocks split by a blank line: for each function inlined
// at the address (innermost first) its name, then "file:line:column".
std::vector<std::vector<std::pair<std::string, std::string>>> SymbolizerBlocks(
    const std::string& text) {
    std::vector<std::vector<std::pair<std::string, std::string>>> blocks(1);
    std::istringstream lines(text);
    for (std::string name, place; std::getline(lines, name);) {
        if (name.empty()) {
            if (!blocks.back().empty()) blocks.emplace_back();
            continue;
        }
        std::getline(lines, place);
        blocks.back().push_back({name, place});
    }
    if (blocks.back().empty()) blocks.pop_back();
    return blocks;
}

// LLDB walks the stack; LLVM's symbolizer names the program's own frames from the kept
// debug file, with their lines and what was inlined into them (LLDB 14 reads no lines from
// GCC 12's DWARF 5). A return address is looked up one byte back: at the call.
void AddLines(const std::string& program, CrashStack* stack) {
    const std::string symbolizer = FirstOnPath({"llvm-symbolizer", "llvm-symbolizer-14"});
    std::error_code code;
    const std::string debug =
        fs::exists(PathOf(program + ".debug"), code) ? program + ".debug" : program;
    const std::string module = Utf8Of(PathOf(program).filename());
    std::vector<std::string> argv = {symbolizer, "--obj=" + debug, "--inlining", "--demangle"};
    std::vector<size_t> ours;
    for (size_t i = 0; i < stack->frames.size(); ++i) {
        if (stack->frames[i].module != module) continue;
        const unsigned long long address =
            std::strtoull(stack->frames[i].address.c_str(), nullptr, 16) - (i > 0 ? 1 : 0);
        char text[24];
        std::snprintf(text, sizeof text, "0x%llx", address);
        argv.push_back(text);
        ours.push_back(i);
    }
    std::string output;
    if (symbolizer.empty() || ours.empty() || !RunCapturing(argv, &output)) return;
    const auto blocks = SymbolizerBlocks(output);
    if (blocks.size() != ours.size()) return;
    std::vector<CrashFrame> frames;
    for (size_t i = 0, next = 0; i < stack->frames.size(); ++i) {
        if (next < ours.size() && ours[next] == i && blocks[next].front().first != "??") {
            for (const auto& [function, place] : blocks[next])
                frames.push_back({stack->frames[i].address, module, function, place});
            ++next;
            continue;
        }
        if (next < ours.size() && ours[next] == i) ++next;
        frames.push_back(stack->frames[i]);
    }
    stack->frames = frames;
}

void PrintStack(const CrashStack& stack) {
    std::printf("  exception %s (%s) at %s\n", stack.exceptionCode.c_str(),
                ExceptionName(stack.exceptionCode).c_str(), stack.exceptionAddress.c_str());
    for (size_t i = 0; i < stack.frames.size(); ++i) {
        const CrashFrame& frame = stack.frames[i];
        std::printf("  #%-2zu %s %s%s%s%s\n", i, frame.address.c_str(), frame.module.c_str(),
                    frame.function.empty() ? "" : "!", frame.function.c_str(),
                    frame.line.empty() ? "" : ("  " + frame.line).c_str());
    }
}

}  // namespace

bool ParseDumpPath(const std::string& relative, DumpEntry* entry) {
    const fs::path path = PathOf(relative);
    std::vector<std::string> parts;
    for (const auto& part : path) parts.push_back(Utf8Of(part));
    if (parts.size() != 3 || path.extension() != ".dmp") return false;
    const std::string stem = Utf8Of(path.stem());
    const size_t numberAt = stem.rfind('_');
    const size_t timeAt = numberAt == std::string::npos || numberAt == 0
                              ? std::string::npos
                              : stem.rfind('_', numberAt - 1);
    if (timeAt == std::string::npos || timeAt == 0) return false;
    entry->package = parts[0];
    entry->version = parts[1];
    entry->client = stem.substr(0, timeAt);
    entry->time = DumpTime(stem.substr(timeAt + 1, numberAt - timeAt - 1));
    entry->number = stem.substr(numberAt + 1);
    return !entry->time.empty() && entry->number.size() == 3 && AllDigits(entry->number);
}

std::vector<DumpEntry> FindDumps(const std::string& folder) {
    std::vector<DumpEntry> dumps;
    std::error_code code;
    const fs::path root = PathOf(folder);
    for (auto it = fs::recursive_directory_iterator(root, code);
         !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
        if (it->path().filename() == ".incoming") it.disable_recursion_pending();
        if (!it->is_regular_file()) continue;
        DumpEntry entry;
        if (!ParseDumpPath(Utf8Of(it->path().lexically_relative(root)), &entry)) continue;
        entry.path = Utf8Of(it->path());
        dumps.push_back(entry);
    }
    std::sort(dumps.begin(), dumps.end(), [](const DumpEntry& a, const DumpEntry& b) {
        return std::tie(a.package, a.version, a.time, a.client, a.number) <
               std::tie(b.package, b.version, b.time, b.client, b.number);
    });
    return dumps;
}

bool ParseBacktrace(const std::string& text, CrashStack* stack) {
    std::istringstream lines(text);
    bool inThread = false;
    for (std::string line; std::getline(lines, line);) {
        const size_t reason = line.find("stop reason = Exception ");
        if (line.rfind("* thread #", 0) == 0 && reason != std::string::npos) {
            std::istringstream words(line.substr(reason + 24));
            std::string encountered, at, word, address;  // "CODE encountered at address X"
            words >> stack->exceptionCode >> encountered >> at >> word >> address;
            stack->exceptionAddress = address;
            inThread = true;
            continue;
        }
        const size_t frameAt = line.find("frame #");
        if (!inThread || frameAt == std::string::npos) continue;
        const size_t colon = line.find(": ", frameAt);
        if (colon == std::string::npos) continue;
        std::string rest = line.substr(colon + 2);
        CrashFrame frame;
        const size_t blank = rest.find(' ');
        frame.address = rest.substr(0, blank);
        rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
        const size_t tick = rest.find('`');
        frame.module = rest.substr(0, tick);
        if (tick != std::string::npos) {
            std::string function = rest.substr(tick + 1);
            const size_t atLine = function.find(" at ");
            if (atLine != std::string::npos) {
                frame.line = function.substr(atLine + 4);
                function.resize(atLine);
            }
            frame.function = function;
        }
        stack->frames.push_back(frame);
    }
    return !stack->exceptionCode.empty() && !stack->frames.empty();
}

std::string ExceptionName(const std::string& code) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"0xc0000005", "access violation"},
        {"0xc00000fd", "stack overflow"},
        {"0x80000003", "breakpoint: a run-time library parameter error"},
        {"0xc0000409", "fail-fast: the run-time library ended the program"},
        {"0xc0000094", "integer division by zero"},
        {"0xc000001d", "illegal instruction"},
        {"0xc0000096", "privileged instruction"},
        {"0x20474343", "C++ exception not caught"},
        {"0x40000015", "abort"},
    };
    std::string lower = code;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [known, name] : kNames)
        if (lower == known) return name;
    return "unknown exception";
}

int CrashesCommand(const CArguments& args) {
    const std::string unknown = args.Unknown({"dumps", "symbols", "lldb"});
    if (!unknown.empty() || !args.Has("dumps") || !args.Operands().empty()) {
        std::fprintf(stderr,
                     "usage: vexa_publish crashes --dumps FOLDER [--symbols FOLDER] "
                     "[--lldb PROGRAM]\n");
        return 2;
    }
    const std::vector<DumpEntry> dumps = FindDumps(args.Value("dumps"));
    std::printf("%-40s %-12s %-20s %-19s %s\n", "PACKAGE", "VERSION", "CLIENT", "TIME (UTC)", "NO");
    for (const DumpEntry& dump : dumps)
        std::printf("%-40s %-12s %-20s %-19s %s\n", dump.package.c_str(), dump.version.c_str(),
                    dump.client.c_str(), dump.time.c_str(), dump.number.c_str());
    std::printf("%zu dump(s)\n", dumps.size());
    if (!args.Has("symbols") || dumps.empty()) return 0;

    const std::string lldb = FindLldb(args.Value("lldb"));
    if (lldb.empty()) {
        std::fprintf(stderr, "vexa_publish: no LLDB to read the dumps with (Debian: lldb-14)\n");
        return 1;
    }
    int failures = 0;
    for (const DumpEntry& dump : dumps) {
        std::printf("\n%s\n", dump.path.c_str());
        const std::string program = ProgramOf(args.Value("symbols"), dump.version);
        CrashStack stack;
        std::string error;
        if (program.empty()) {
            error = "no program kept for version " + dump.version + " in " + args.Value("symbols");
        } else if (ReadStack(lldb, program, dump, &stack, &error)) {
            PrintStack(stack);
            continue;
        }
        std::printf("  not read: %s\n", error.c_str());
        ++failures;
    }
    return failures ? 1 : 0;
}

}  // namespace publish
