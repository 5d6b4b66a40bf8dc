// The program and its uploader started from a folder that also holds look-alikes of the
// system modules they use, as a user's Downloads folder may: none of them is loaded.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "base/ScopedRegKey.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace {

// The system modules the program loads on first use, planted as "<name>.dll". Not version:
// under Wine its own shell32 imports that one while the program's imports are bound, before
// any code of the program runs, so a planted one is loaded whatever the program does.
constexpr const char* kPlanted[] = {"dbghelp", "wininet", "winmm", "msimg32", "wintrust",
                                    "comctl32"};
constexpr DWORD kRunLimitMs = 60000;

std::wstring PlantedFile(const char* name) {
    return std::wstring(name, name + std::strlen(name)) + L".dll";
}

struct WindowSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window)) search->found = true;
    return !search->found;
}

// Runs `program` until it shows its first window or ends, then ends it.
bool RunToFirstWindow(const std::wstring& program, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &process))
        return false;
    WindowSearch search = {process.dwProcessId, false};
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kRunLimitMs;) {
        if (::WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        ::EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
    }
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, kRunLimitMs);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// Wine takes its own modules before files beside a program; Windows does not. For one
// program name, Wine is told to look beside the program first, as Windows does.
class CNativeModulesFirst {
public:
    explicit CNativeModulesFirst(const std::wstring& programName)
        : key_(L"Software\\Wine\\AppDefaults\\" + programName) {
        CScopedRegKey overrides;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, overrides.Receive(),
                              nullptr) != ERROR_SUCCESS)
            return;
        const wchar_t order[] = L"native,builtin";
        ok_ = true;
        for (const char* name : kPlanted) {
            std::wstring module = PlantedFile(name);
            module.resize(module.size() - 4);
            ok_ = ::RegSetValueExW(overrides.Get(), module.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(order), sizeof(order)) ==
                      ERROR_SUCCESS &&
                  ok_;
        }
    }
    ~CNativeModulesFirst() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    CNativeModulesFirst(const CNativeModulesFirst&) = delete;
    CNativeModulesFirst& operator=(const CNativeModulesFirst&) = delete;
    bool Ok() const { return ok_; }

private:
    std::wstring key_;
    bool ok_ = false;
};

class ModulePlanting : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        for (const char* name : kPlanted)
            ASSERT_TRUE(::CopyFileW(BesideTest(L"planted_module.dll").c_str(),
                                    (scratch_ / PlantedFile(name)).c_str(), FALSE));
    }

    CScratchFolder scratch_;
};

TEST_P(ModulePlanting, NoLookAlikeBesideTheProgramIsLoaded) {
    // A name of its own, so that no other test's programs are affected.
    const std::wstring name = std::wstring(L"planted-") + GetParam();
    CNativeModulesFirst nativeFirst(name);
    ASSERT_TRUE(nativeFirst.Ok());
    std::wstring program = scratch_ / name;
    ASSERT_TRUE(::CopyFileW(BesideTest(GetParam()).c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(RunToFirstWindow(program, scratch_.Path()));
    for (const char* name : kPlanted)
        EXPECT_FALSE(CScratchFolder::Exists(scratch_ / PlantedFile(name) + L".loaded"))
            << "loaded from the program's folder: " << name;
}

// The program copy is stamped for a local server that is not there: its first window is
// the initialising one. The uploader without a dump ends at once.
INSTANTIATE_TEST_SUITE_P(ShippedPrograms, ModulePlanting,
                         ::testing::Values(L"stamped_a.exe", L"Plorex.exe"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.index == 0 ? "Program" : "Uploader");
                         });

}  // namespace
