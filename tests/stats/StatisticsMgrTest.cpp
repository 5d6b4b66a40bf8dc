// The report worker against the local test server: order, pauses, saved answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/TestServerClient.h"
#include "server/TestTempFolder.h"
#include "stats/StatisticsMgr.h"

namespace {

class StatisticsMgrTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.IsAvailable()) << "run through tests/server/with_server.sh";
        server.ClearFaults();
        server.ClearLog();
    }
    std::wstring ReportUrl(const std::string& name) {
        std::wstring wide(name.begin(), name.end());
        return server.Url(L"/ClientApp/" + wide + L"/?name={P}&from=0&mid=&ver=1.0.0.1&");
    }
    // Waits until `count` reports reached the server (a minute at most: only a hang takes
    // that long, while a busy machine may well take seconds).
    std::vector<LoggedRequest> WaitForReports(size_t count) {
        std::vector<LoggedRequest> log;
        for (int i = 0; i < 1200; ++i) {
            log = server.LogFor("/ClientApp/");
            if (log.size() >= count) break;
            ::Sleep(50);
        }
        return log;
    }
    // Waits until no saved answer is left; returns how many are left at the end.
    int WaitForNoAnswerFiles() {
        int count = CountAnswerFiles();
        for (int i = 0; i < 1200 && count > 0; ++i) {
            ::Sleep(50);
            count = CountAnswerFiles();
        }
        return count;
    }
    int CountAnswerFiles() {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW(temp.File(L"*.ss").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return 0;
        int count = 0;
        do ++count;
        while (::FindNextFileW(find, &data));
        ::FindClose(find);
        return count;
    }

    CTestServer server;
    CTestTempFolder temp;
};

// A manager whose first worker start fails, as when the process has no room for a thread.
class CFirstStartFails : public CStatisticsMgr {
public:
    using CStatisticsMgr::CStatisticsMgr;
    int starts = 0;

protected:
    HANDLE StartWorkerThread() override {
        return ++starts == 1 ? nullptr : CStatisticsMgr::StartWorkerThread();
    }
};

}  // namespace

TEST_F(StatisticsMgrTest, ReportsQueuedBeforeStartWaitForTheWorker) {
    CStatisticsMgr manager(temp.Path());
    manager.Enqueue(ReportUrl("early"));
    ::Sleep(200);
    EXPECT_TRUE(server.LogFor("/ClientApp/").empty());
    manager.Start();
    manager.Start();  // a second start changes nothing
    EXPECT_EQ(WaitForReports(1).size(), 1u);
}

TEST_F(StatisticsMgrTest, AWorkerThatCannotStartIsReportedAndTheReportsWait) {
    CFirstStartFails manager(temp.Path());
    manager.Enqueue(ReportUrl("waiting"));
    EXPECT_FALSE(manager.Start());
    EXPECT_TRUE(manager.Start()) << "a later start tries again";
    EXPECT_TRUE(manager.Start());
    EXPECT_EQ(manager.starts, 2);
    std::vector<LoggedRequest> log = WaitForReports(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target.find("/ClientApp/waiting/"), 0u);
}

TEST_F(StatisticsMgrTest, ReportsGoOutInOrderWithAPauseAfterEach) {
    CStatisticsMgr manager(temp.Path());
    manager.Start();
    ::Sleep(250);  // the worker is now waiting on its poll
    manager.Enqueue(ReportUrl("first"));
    manager.Enqueue(ReportUrl("second"));
    manager.Enqueue(ReportUrl("third"));
    std::vector<LoggedRequest> log = WaitForReports(3);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].target.find("/ClientApp/first/"), 0u);
    EXPECT_EQ(log[1].target.find("/ClientApp/second/"), 0u);
    EXPECT_EQ(log[2].target.find("/ClientApp/third/"), 0u);
    EXPECT_GE(log[1].timeMs - log[0].timeMs, 9.5);
    EXPECT_GE(log[2].timeMs - log[1].timeMs, 9.5);
}

TEST_F(StatisticsMgrTest, SavedAnswerIsWrittenThenRemoved) {
    // The answer is held back a while, so its file can be seen while it arrives (long
    // enough for a busy machine to look before it comes).
    ASSERT_TRUE(server.SetFault("/ClientApp/kept/", "delay", "ms=4000"));
    CStatisticsMgr manager(temp.Path());
    manager.SetDropAnswers(0);
    manager.Enqueue(ReportUrl("kept"));
    manager.Enqueue(ReportUrl("dropped"));
    manager.Start();
    ASSERT_EQ(WaitForReports(1).size(), 1u);
    EXPECT_EQ(CountAnswerFiles(), 1);
    EXPECT_EQ(WaitForReports(2).size(), 2u);
    EXPECT_EQ(WaitForNoAnswerFiles(), 0);  // and the second report's answer was never saved
}

TEST_F(StatisticsMgrTest, WorkerGoesOnAfterAnAnswerThatCannotBeReadBack) {
    CStatisticsMgr manager(temp.Path());
    manager.Start();
    // The saved-answer request fails before any file is made, so nothing can be read back.
    manager.SetDropAnswers(0);
    manager.Enqueue(L"https://" + server.Host() + L"/ClientApp/refused/");
    manager.Enqueue(ReportUrl("after"));
    std::vector<LoggedRequest> log = WaitForReports(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target.find("/ClientApp/after/"), 0u);
    // And it still serves reports queued later.
    manager.SetDropAnswers(0);
    manager.Enqueue(ReportUrl("later"));
    EXPECT_EQ(WaitForReports(2).size(), 2u);
    EXPECT_EQ(WaitForNoAnswerFiles(), 0);
}
