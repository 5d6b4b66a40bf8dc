// The download time: sums of start/stop pairs, kept in the state file only while it exists.

#include <gtest/gtest.h>

#include "server/TestTempFolder.h"
#include "stats/StatisticsDLEvent.h"

namespace {

class DownloadTimeTest : public ::testing::Test {
protected:
    void SetUp() override { stateFile = temp.File(L"{P}.tmp.cfg"); }
    void WriteStoredTotal(const wchar_t* value) {
        ASSERT_TRUE(::WritePrivateProfileStringW(L"Norvane", L"DownloadTotalTime", value,
                                                 stateFile.c_str()));
    }
    std::wstring StoredTotal() {
        wchar_t value[260] = {};
        ::GetPrivateProfileStringW(L"Norvane", L"DownloadTotalTime", L"", value, 260,
                                   stateFile.c_str());
        return value;
    }
    CStatisticsDLEvent::Clock Clock() {
        return [this] { return now; };
    }
    // One transfer that runs from `start` to `stop` on the tick clock.
    void Transfer(CStatisticsDLEvent& event, DWORD start, DWORD stop) {
        now = start;
        event.OnTaskEvent(CStatisticsDLEvent::kTaskStarted);
        now = stop;
        event.OnTaskEvent(CStatisticsDLEvent::kTaskStopped);
    }

    CTestTempFolder temp;
    std::wstring stateFile;
    DWORD now = 0;
};

}  // namespace

TEST_F(DownloadTimeTest, StartStopAddsToStoredTotal) {
    WriteStoredTotal(L"2000");
    {
        CStatisticsDLEvent event(Clock(), stateFile);
        EXPECT_EQ(event.GetTotal(), 2000u);
        Transfer(event, 1000, 4500);
        EXPECT_EQ(event.GetTotal(), 5500u);
    }
    EXPECT_EQ(StoredTotal(), L"5500");
}

TEST_F(DownloadTimeTest, StopWithoutStartCountsNothing) {
    WriteStoredTotal(L"300");
    CStatisticsDLEvent event(Clock(), stateFile);
    now = 9000;
    event.OnTaskEvent(CStatisticsDLEvent::kTaskStopped);
    event.OnTaskEvent(7);  // unknown events are ignored
    EXPECT_EQ(event.GetTotal(), 300u);
}

TEST_F(DownloadTimeTest, ClockWrapBetweenStartAndStopCountsTheRealSpan) {
    CStatisticsDLEvent event(Clock(), stateFile);
    Transfer(event, 0xFFFFFF00u, 0x100);
    EXPECT_EQ(event.GetTotal(), 0x200u);
}

TEST_F(DownloadTimeTest, WithoutStateFileStartsAtZeroAndWritesNothing) {
    {
        CStatisticsDLEvent event(Clock(), stateFile);
        EXPECT_EQ(event.GetTotal(), 0u);
        Transfer(event, 10, 20);
    }
    EXPECT_FALSE(CTestTempFolder::Exists(stateFile));
}

TEST_F(DownloadTimeTest, TotalsBeyondThirtyTwoBitsSurvive) {
    WriteStoredTotal(L"12345678901234");
    { CStatisticsDLEvent event(Clock(), stateFile); }
    EXPECT_EQ(StoredTotal(), L"12345678901234");
}
