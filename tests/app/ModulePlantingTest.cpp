// The program and its uploader started from a folder that also holds look-alikes of the
// system modules they use, as a user's Downloads folder may: none of them is loaded.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace {

// The system modules the program loads on first use, planted as "<name>.dll". Not version:
// under Wine its own shell32 imports that one while the program's imports are bound, before
// any code of the program runs, so a planted one is loaded whatever the program does.
constexpr const wchar_t* kPlanted[] = {L"dbghelp", L"wininet",  L"winmm",
                                       L"msimg32", L"wintrust", L"comctl32"};
constexpr DWORD kRunLimitMs = 60000;

// Wine takes its own modules before files beside a program; Windows does not. For one
// program name, Wine is told to look beside the program first, as Windows does.
class CNativeModulesFirst {
public:
    explicit CNativeModulesFirst(const std::wstring& programName)
        : key_(L"Software\\Wine\\AppDefaults\\" + programName) {
        const wchar_t order[] = L"native,builtin";
        ok_ = true;
        for (const wchar_t* name : kPlanted)
            ok_ = ok_ && ::RegSetKeyValueW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(),
                                           name, REG_SZ, order, sizeof(order)) == ERROR_SUCCESS;
    }
    ~CNativeModulesFirst() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    CNativeModulesFirst(const CNativeModulesFirst&) = delete;
    CNativeModulesFirst& operator=(const CNativeModulesFirst&) = delete;
    bool Ok() const { return ok_; }

private:
    std::wstring key_;
    bool ok_ = false;
};

// Runs `program` until it waits for input (its first window is up) or ends, then ends it.
bool RunToFirstWindow(const std::wstring& program, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &process))
        return false;
    ::WaitForInputIdle(process.hProcess, kRunLimitMs);
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, kRunLimitMs);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

class ModulePlanting : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ModulePlanting, NoLookAlikeBesideTheProgramIsLoaded) {
    CScratchFolder scratch;
    for (const wchar_t* name : kPlanted)
        ASSERT_TRUE(::CopyFileW(BesideTest(L"planted_module.dll").c_str(),
                                (scratch / name + L".dll").c_str(), FALSE));
    // A name of its own, so that no other test's programs are affected.
    const std::wstring program = scratch / (std::wstring(L"planted-") + GetParam());
    CNativeModulesFirst nativeFirst(program.substr(scratch.Path().size()));
    ASSERT_TRUE(nativeFirst.Ok());
    ASSERT_TRUE(::CopyFileW(BesideTest(GetParam()).c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(RunToFirstWindow(program, scratch.Path()));
    for (const wchar_t* name : kPlanted)
        EXPECT_FALSE(CScratchFolder::Exists(scratch / name + L".dll.loaded"))
            << "loaded from the program's folder: " << name;
}

// The program copy is stamped for a local server that is not there: its first window is
// the initialising one. The uploader without a dump ends at once.
INSTANTIATE_TEST_SUITE_P(ShippedPrograms, ModulePlanting,
                         ::testing::Values(L"stamped_a.exe", L"Plorex.exe"));

}  // namespace
