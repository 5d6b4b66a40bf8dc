// Starting programs through the shell with their paths quoted.
#include <gtest/gtest.h>
#include <windows.h>

#include "shell/LinkOpener.h"

TEST(ShellExecuteAndGetProcess, StartsAQuotedProgramAndHandsBackItsProcess) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    ASSERT_EQ(QuoteExecutablePath(cmd), L"\"" + cmd + L"\"");
    HANDLE process = ShellExecuteAndGetProcess(cmd, L"/c exit 7", nullptr, SW_HIDE);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(::WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, 7u);
    ::CloseHandle(process);
}

TEST(ShellExecuteAndGetProcess, MissingProgramGivesNoProcess) {
    EXPECT_EQ(ShellExecuteAndGetProcess(L"C:\\no such folder\\nothing.exe", L"", nullptr, SW_HIDE),
              nullptr);
}

TEST(ShellOpenLink, RefusesFilePathsWithoutAskingTheShell) {
    EXPECT_FALSE(ShellOpenLink(L"C:\\windows\\system32\\cmd.exe"));
    EXPECT_FALSE(ShellOpenLink(L"file:///C:/windows/system32/cmd.exe"));
    EXPECT_FALSE(ShellOpenLink(L""));
}
