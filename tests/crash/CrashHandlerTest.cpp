// The crash handler in a program that fails on purpose: where the dump goes, what it holds,
// how dumps are numbered, and which uploader is started, with what command line.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crash/CrashRun.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace {

constexpr wchar_t kCompanionKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\quillet.exe";
constexpr wchar_t kProgramName[] = L"游戏下载.exe";
constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kBreakpoint = 0x80000003;
constexpr uint32_t kStackOverflow = 0xC00000FD;
constexpr uint32_t kAbnormalEnd = 0x40000015;  // std::terminate, abort()
// A C++ exception that no frame takes reaches the filter as the throw itself, so the dump
// shows where it was thrown.
constexpr uint32_t kUncaughtException = 0x20474343;

std::string Utf8(const std::wstring& text) {
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string ReadText(const std::wstring& path) {
    std::vector<uint8_t> bytes = CScratchFolder::Read(path);
    return std::string(bytes.begin(), bytes.end());
}

// Reads and removes the stand-in uploader's record: renamed into place whole, but the
// rename may still hold the file for a moment after it appears.
std::string TakeRecord(const std::wstring& path) {
    std::string text;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60000; ::Sleep(50)) {
        text = ReadText(path);
        if (!text.empty() && ::DeleteFileW(path.c_str())) break;
    }
    return text;
}

// The companion product's registration for one test; the key is removed afterwards (the
// test prefix has no companion product installed).
class CCompanionRegistration {
public:
    explicit CCompanionRegistration(const std::wstring& path) {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCompanionKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        ok_ = ::RegSetValueExW(key, L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                               static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) ==
              ERROR_SUCCESS;
        ::RegCloseKey(key);
    }
    ~CCompanionRegistration() { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kCompanionKey); }
    CCompanionRegistration(const CCompanionRegistration&) = delete;
    CCompanionRegistration& operator=(const CCompanionRegistration&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
};

// A copy of the crash program in a folder of its own, with the stand-in uploader beside
// it, and a current folder that holds a planted Plorex.exe of its own.
class CrashHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = scratch_ / L"program\\";
        current_ = scratch_ / L"current\\";
        ASSERT_TRUE(::CreateDirectoryW(program_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(current_.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(BesideTest(L"vexa_crash_child.exe").c_str(),
                                (program_ + kProgramName).c_str(), FALSE));
        ASSERT_TRUE(PlaceUploader(program_));
        ASSERT_TRUE(PlaceUploader(current_));
    }

    static bool PlaceUploader(const std::wstring& folder) {
        return ::CopyFileW(BesideTest(L"vexa_fake_uploader.exe").c_str(),
                           (folder + L"Plorex.exe").c_str(), FALSE) != FALSE;
    }

    CrashRunResult Crash(const std::wstring& mode) {
        CrashRunResult run = RunCrashProgram(program_ + kProgramName, mode, current_);
        EXPECT_EQ(run.startError, 0u) << "the program could not be started";
        return run;
    }

    std::wstring DumpIn(const std::wstring& folder, const wchar_t* number = L"000") const {
        return folder + kProgramName + L"_" + number + L".dmp";
    }

    uint32_t NotedFaultingThread() const {
        return static_cast<uint32_t>(std::stoul(ReadText(program_ + L"fault-thread.txt")));
    }

    // The dump is a minidump whose exception stream names the thread that failed.
    void ExpectDumpOfFault(const std::wstring& dump, uint32_t code) const {
        DumpSummary summary = ReadDumpSummary(dump);
        ASSERT_TRUE(summary.isMinidump) << Utf8(dump);
        ASSERT_TRUE(summary.hasException);
        EXPECT_EQ(summary.exceptionCode, code);
        EXPECT_EQ(summary.faultingThread, NotedFaultingThread());
        EXPECT_NE(std::find(summary.threads.begin(), summary.threads.end(), summary.faultingThread),
                  summary.threads.end());
    }

    // The uploader beside the program was started, by its full path, with the dump; the
    // planted one in the current folder was not. The record is removed for the next crash.
    void ExpectUploaderStartedFor(const std::wstring& dump) const {
        std::wstring record = program_ + L"uploader-started.txt";
        ASSERT_TRUE(WaitForFile(record)) << "the uploader was not started";
        std::string expected =
            Utf8(program_ + L"Plorex.exe") + "\n\"Plorex.exe\" \"" + Utf8(dump) + "\" \"\"\n";
        EXPECT_EQ(TakeRecord(record), expected);
        EXPECT_FALSE(CScratchFolder::Exists(current_ + L"uploader-started.txt"));
    }

    CScratchFolder scratch_;
    std::wstring program_;
    std::wstring current_;
};

struct CrashKind {
    const char* name;
    const wchar_t* mode;  // of the crash program
    uint32_t code;        // in the dump's exception stream
};

class EveryCrashKind : public CrashHandlerTest, public ::testing::WithParamInterface<CrashKind> {};

// However the program fails, the failing thread's report is dump 000 in the program's dump
// folder, and one uploader is started with it.
TEST_P(EveryCrashKind, LeavesDumpZeroAndStartsTheUploaderOnce) {
    CrashRunResult run = Crash(GetParam().mode);
    ASSERT_TRUE(run.ended);
    std::wstring dump = DumpIn(program_ + L"dump\\");
    ExpectDumpOfFault(dump, GetParam().code);
    ExpectUploaderStartedFor(dump);
    EXPECT_EQ(run.processesStarted, 2u);  // the program and one uploader
}

INSTANTIATE_TEST_SUITE_P(
    CrashHandler, EveryCrashKind,
    ::testing::Values(CrashKind{"AccessViolation", L"access-violation", kAccessViolation},
                      // reported as a breakpoint
                      CrashKind{"RunTimeParameterError", L"invalid-parameter", kBreakpoint},
                      CrashKind{"FaultOnAWorkerThread", L"worker-thread", kAccessViolation},
                      CrashKind{"StackOverflow", L"stack-overflow", kStackOverflow},
                      CrashKind{"Terminate", L"terminate", kAbnormalEnd},
                      CrashKind{"Abort", L"abort", kAbnormalEnd},
                      CrashKind{"ExceptionEscapingAWorkerThread", L"worker-exception",
                                kUncaughtException},
                      CrashKind{"FaultBeforeTheEntryPoint", L"starting-fault", kAccessViolation}),
    [](const ::testing::TestParamInfo<CrashKind>& info) { return std::string(info.param.name); });

TEST_F(CrashHandlerTest, TwoThreadsFailingTogetherGiveOneReport) {
    CrashRunResult run = Crash(L"two-threads");
    ASSERT_TRUE(run.ended);
    std::wstring dump = DumpIn(program_ + L"dump\\");
    DumpSummary summary = ReadDumpSummary(dump);
    ASSERT_TRUE(summary.isMinidump);
    EXPECT_EQ(summary.exceptionCode, kAccessViolation);
    EXPECT_FALSE(CScratchFolder::Exists(DumpIn(program_ + L"dump\\", L"001")));
    EXPECT_EQ(run.processesStarted, 2u);
}

TEST_F(CrashHandlerTest, TheCompanionProductsFolderTakesTheDumpsWhenRegistered) {
    std::wstring companion = scratch_ / L"Quillet";
    ASSERT_TRUE(::CreateDirectoryW(companion.c_str(), nullptr));
    CCompanionRegistration registration(companion);
    ASSERT_TRUE(registration.Ok());
    ASSERT_TRUE(Crash(L"access-violation").ended);
    std::wstring dump = DumpIn(companion + L"\\dump\\");
    ExpectDumpOfFault(dump, kAccessViolation);
    ExpectUploaderStartedFor(dump);
    EXPECT_FALSE(CScratchFolder::Exists(program_ + L"dump"));
}

TEST_F(CrashHandlerTest, ARegisteredPathThatIsNoLocalFolderIsIgnored) {
    std::wstring file = scratch_ / L"quillet.exe";
    ASSERT_TRUE(CScratchFolder::Write(file, std::string("MZ")));
    const std::wstring refused[] = {L"Quillet", L"\\\\server\\share\\Quillet",
                                    scratch_ / L"missing", file, L"C:relative"};
    for (const std::wstring& value : refused) {
        CCompanionRegistration registration(value);
        ASSERT_TRUE(registration.Ok());
        ASSERT_TRUE(Crash(L"access-violation").ended) << Utf8(value);
        std::wstring dump = DumpIn(program_ + L"dump\\");
        EXPECT_TRUE(ReadDumpSummary(dump).isMinidump) << Utf8(value);
        ExpectUploaderStartedFor(dump);
        ASSERT_TRUE(::DeleteFileW(dump.c_str()));
    }
    EXPECT_FALSE(CScratchFolder::Exists(scratch_ / L"missing"));
}

TEST_F(CrashHandlerTest, AnUncreatableDumpFolderFallsBackToTheProgramsFolder) {
    ASSERT_TRUE(CScratchFolder::Write(program_ + L"dump", std::string("a file, not a folder")));
    ASSERT_TRUE(Crash(L"access-violation").ended);
    std::wstring dump = DumpIn(program_);
    ExpectDumpOfFault(dump, kAccessViolation);
    ExpectUploaderStartedFor(dump);
}

TEST_F(CrashHandlerTest, DumpsAreNumberedUpToNineThenTenIsOverwritten) {
    std::wstring folder = program_ + L"dump\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(Crash(L"access-violation").ended);
    ExpectUploaderStartedFor(DumpIn(folder, L"000"));
    for (const wchar_t* number :
         {L"001", L"002", L"003", L"004", L"005", L"006", L"007", L"008", L"009"})
        ASSERT_TRUE(CScratchFolder::Write(DumpIn(folder, number), std::string("older")));

    ASSERT_TRUE(Crash(L"access-violation").ended);
    ExpectDumpOfFault(DumpIn(folder, L"010"), kAccessViolation);
    ExpectUploaderStartedFor(DumpIn(folder, L"010"));
    ASSERT_TRUE(CScratchFolder::Write(DumpIn(folder, L"010"), std::string("older")));

    ASSERT_TRUE(Crash(L"access-violation").ended);
    ExpectDumpOfFault(DumpIn(folder, L"010"), kAccessViolation);
    ExpectUploaderStartedFor(DumpIn(folder, L"010"));
    EXPECT_EQ(ReadText(DumpIn(folder, L"009")), "older");
    EXPECT_FALSE(CScratchFolder::Exists(DumpIn(folder, L"011")));
}

TEST_F(CrashHandlerTest, AfterDisarmingAFaultWritesNothingAndStartsNothing) {
    CrashRunResult run = Crash(L"disarmed");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.processesStarted, 1u);
    EXPECT_FALSE(CScratchFolder::Exists(program_ + L"dump"));
    EXPECT_FALSE(CScratchFolder::Exists(DumpIn(program_)));
}

TEST_F(CrashHandlerTest, WithoutAnUploaderBesideTheProgramNothingIsStarted) {
    ASSERT_TRUE(::DeleteFileW((program_ + L"Plorex.exe").c_str()));
    CrashRunResult run = Crash(L"access-violation");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(ReadDumpSummary(DumpIn(program_ + L"dump\\")).isMinidump);
    EXPECT_EQ(run.processesStarted, 1u);  // not the planted one in the current folder either
}

TEST_F(CrashHandlerTest, ADumpThatCannotBeCreatedStartsNoUploader) {
    // Every name is taken by a folder: the file cannot be created.
    std::wstring folder = program_ + L"dump\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    for (const wchar_t* number :
         {L"000", L"001", L"002", L"003", L"004", L"005", L"006", L"007", L"008", L"009", L"010"})
        ASSERT_TRUE(::CreateDirectoryW(DumpIn(folder, number).c_str(), nullptr));
    CrashRunResult run = Crash(L"access-violation");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.processesStarted, 1u);
}

TEST_F(CrashHandlerTest, AFaultWhileWritingTheDumpEndsTheProcessWithoutStartingOver) {
    CrashRunResult run = Crash(L"filter-fault");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.processesStarted, 1u);
    // At most the one dump that was being written when it failed.
    EXPECT_FALSE(CScratchFolder::Exists(DumpIn(program_ + L"dump\\", L"001")));
}

}  // namespace
