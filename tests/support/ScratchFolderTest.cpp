// The scratch folder every Windows test stands on must be fresh even where an earlier run
// (with the same process identifier, as Wine gives out) left one behind.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/ScratchFolder.h"

namespace {

// The counter in a folder name "vexa-test-PID-N\".
unsigned CounterOf(const std::wstring& path) {
    std::wstring name = path.substr(0, path.size() - 1);
    return static_cast<unsigned>(std::stoul(name.substr(name.find_last_of(L'-') + 1)));
}

TEST(ScratchFolder, FolderLeftUnderTheNextNameIsPassedOver) {
    CScratchFolder first;
    std::wstring next = first.Path();
    next.resize(next.size() - 1);
    next = next.substr(0, next.find_last_of(L'-') + 1) +
           std::to_wstring(CounterOf(first.Path()) + 1) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(next.c_str(), nullptr));
    ASSERT_TRUE(CScratchFolder::Write(next + L"left.txt", std::string("from an earlier run")));

    {
        CScratchFolder second;
        EXPECT_NE(second.Path(), next);
        EXPECT_GT(CounterOf(second.Path()), CounterOf(first.Path()) + 1);
        EXPECT_FALSE(CScratchFolder::Exists(second / L"left.txt"));
    }
    ::DeleteFileW((next + L"left.txt").c_str());
    ::RemoveDirectoryW(next.c_str());
}

}  // namespace
