// The HTTP client against the local test server: states, status handling, cut-off bodies.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "server/TestServerClient.h"
#include "server/TestTempFolder.h"
#include "transfer/HttpDownload.h"
#include "transfer/NetworkState.h"

namespace {

struct Notification {
    DWORD received;
    DWORD total;
    int state;
    bool operator==(const Notification& other) const {
        return received == other.received && total == other.total && state == other.state;
    }
};

class RecordingCallback : public IHttpDownloadCallback {
public:
    int OnHttpStatus(DWORD received, DWORD total, int state) override {
        seen.push_back({received, total, state});
        return 0;
    }
    std::vector<int> States() const {
        std::vector<int> states;
        for (const Notification& n : seen) states.push_back(n.state);
        return states;
    }
    std::vector<Notification> seen;
};

class HttpDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.IsAvailable()) << "run through tests/server/with_server.sh";
        server.ClearFaults();
        server.ClearLog();
        http.SetCallback(&callback);
        http.SetTimeouts(5000, 5000, 5000);
    }
    BOOL Fetch(const std::string& path, const std::wstring& file) {
        std::wstring wide(path.begin(), path.end());
        return http.Download(server.Url(wide).c_str(), file.empty() ? nullptr : file.c_str());
    }

    CTestServer server;
    CTestTempFolder temp;
    CHttpDownload http;
    RecordingCallback callback;
};

}  // namespace

// with_server.sh gives the test a network adapter of its own, whatever the machine has.
TEST_F(HttpDownloadTest, ProbeReportsOnline) { EXPECT_TRUE(IsNetworkConnected()); }

TEST_F(HttpDownloadTest, FifteenReadsGiveTwoProgressNotifications) {
    const std::string body(14 * 1024 + 300, 'q');
    ASSERT_TRUE(server.PutFile("/fifteen.bin", body));
    std::wstring file = temp.File(L"fifteen.bin");
    ASSERT_TRUE(Fetch("/fifteen.bin", file));
    const DWORD total = static_cast<DWORD>(body.size());
    std::vector<Notification> expected = {
        {0, 0, 2}, {0, 0, 4}, {1024, total, 5}, {11 * 1024, total, 5}, {0, 0, 6}};
    EXPECT_EQ(callback.seen, expected);
    EXPECT_EQ(CTestTempFolder::Read(file), body);
    EXPECT_EQ(http.GetLastStatus(), 200u);
}

TEST_F(HttpDownloadTest, ExactMultipleOfReadSizeArrivesWhole) {
    const std::string body(10 * 1024, 'm');
    ASSERT_TRUE(server.PutFile("/exact.bin", body));
    std::wstring file = temp.File(L"exact.bin");
    ASSERT_TRUE(Fetch("/exact.bin", file));
    EXPECT_EQ(callback.States(), (std::vector<int>{2, 4, 5, 6}));
    EXPECT_EQ(CTestTempFolder::SizeOf(file), 10 * 1024);
}

TEST_F(HttpDownloadTest, MissingContentLengthReadsToEndWithTotalZero) {
    const std::string body(3000, 'n');
    ASSERT_TRUE(server.PutFile("/nolength.bin", body));
    ASSERT_TRUE(server.SetFault("/nolength.bin", "no-length"));
    std::wstring file = temp.File(L"nolength.bin");
    ASSERT_TRUE(Fetch("/nolength.bin", file));
    EXPECT_EQ(CTestTempFolder::Read(file), body);
    for (const Notification& n : callback.seen) {
        if (n.state == 5) {
            EXPECT_EQ(n.total, 0u);
        }
    }
}

TEST_F(HttpDownloadTest, BodyCutBeforeContentLengthFails) {
    ASSERT_TRUE(server.PutFile("/cut.bin", std::string(5000, 'c')));
    ASSERT_TRUE(server.SetFault("/cut.bin", "cut", "at=2000"));
    EXPECT_FALSE(Fetch("/cut.bin", temp.File(L"cut.bin")));
    EXPECT_EQ(http.GetLastStatus(), 200u);
    EXPECT_EQ(callback.States().back(), 6);  // the body loop still reports its end
}

TEST_F(HttpDownloadTest, ConnectionResetMidBodyFails) {
    ASSERT_TRUE(server.PutFile("/reset.bin", std::string(50000, 'r')));
    ASSERT_TRUE(server.SetFault("/reset.bin", "reset", "at=4000"));
    EXPECT_FALSE(Fetch("/reset.bin", temp.File(L"reset.bin")));
}

TEST_F(HttpDownloadTest, NotFoundFailsLeavingEmptyFile) {
    std::wstring file = temp.File(L"missing.bin");
    EXPECT_FALSE(Fetch("/missing.bin", file));
    EXPECT_EQ(http.GetLastStatus(), 404u);
    EXPECT_EQ(CTestTempFolder::SizeOf(file), 0);
    EXPECT_EQ(callback.States(), (std::vector<int>{2}));
}

TEST_F(HttpDownloadTest, HttpsIsRefusedBeforeAnythingHappens) {
    std::wstring file = temp.File(L"secure.bin");
    std::wstring url = L"https://" + server.Host() + L"/secure.bin";
    EXPECT_FALSE(http.Download(url.c_str(), file.c_str()));
    EXPECT_TRUE(callback.seen.empty());
    EXPECT_FALSE(CTestTempFolder::Exists(file));
    EXPECT_EQ(http.GetLastStatus(), 0u);
    EXPECT_TRUE(server.Log().empty());
}

TEST_F(HttpDownloadTest, UncreatableFileFailsWithoutNetworkActivity) {
    std::wstring file = temp.File(L"no-such-folder\\x.bin");
    EXPECT_FALSE(Fetch("/anything.bin", file));
    EXPECT_TRUE(callback.seen.empty());
    EXPECT_TRUE(server.Log().empty());
}

TEST_F(HttpDownloadTest, RequestCarriesQueryAgentAndAcceptedTypes) {
    EXPECT_TRUE(
        Fetch("/ClientApp/statLogMuldownUrl/?name={A-B}&from=0&mid=&ver=1.2.3.4&", std::wstring()));
    std::vector<LoggedRequest> log = server.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, "/ClientApp/statLogMuldownUrl/?name={A-B}&from=0&mid=&ver=1.2.3.4&");
    EXPECT_EQ(log[0].headers["User-Agent"], "Mozila/4.0 (compatible; MSIE 5.0; QUILLET)");
    EXPECT_EQ(log[0].headers["Accept"], "*/*");
}

TEST_F(HttpDownloadTest, NullFileDropsTheBody) {
    ASSERT_TRUE(server.PutFile("/dropped.bin", std::string(4000, 'd')));
    EXPECT_TRUE(Fetch("/dropped.bin", std::wstring()));
    EXPECT_EQ(callback.States(), (std::vector<int>{2, 4, 5, 6}));
}

// The server holds the body back far longer than the receive time-out.
TEST_F(HttpDownloadTest, StalledBodyEndsAtReceiveTimeout) {
    ASSERT_TRUE(server.PutFile("/stall.bin", std::string(8000, 's')));
    ASSERT_TRUE(server.SetFault("/stall.bin", "stall", "at=1000&seconds=8"));
    http.SetTimeouts(2000, 2000, 1000);
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(Fetch("/stall.bin", temp.File(L"stall.bin")));
    EXPECT_LT(::GetTickCount() - start, 6000u);
}

TEST_F(HttpDownloadTest, CancelledClientFetchesNothingMore) {
    ASSERT_TRUE(server.PutFile("/after.bin", std::string(100, 'a')));
    http.Cancel();
    std::wstring file = temp.File(L"after.bin");
    EXPECT_FALSE(Fetch("/after.bin", file));
    EXPECT_TRUE(callback.seen.empty());
    EXPECT_FALSE(CTestTempFolder::Exists(file));
    EXPECT_TRUE(server.Log().empty());
}

namespace {

// Signals once the body loop has made its first progress report.
class FirstProgressCallback : public IHttpDownloadCallback {
public:
    FirstProgressCallback() : reading_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~FirstProgressCallback() override { ::CloseHandle(reading_); }
    int OnHttpStatus(DWORD, DWORD, int state) override {
        if (state == kHttpStateProgress) ::SetEvent(reading_);
        return 0;
    }
    bool WaitReading() const { return ::WaitForSingleObject(reading_, 60000) == WAIT_OBJECT_0; }

private:
    HANDLE reading_;
};

}  // namespace

// A body that would take minutes at its rate: a cancel from another thread ends the transfer
// at the next read, as a failure.
TEST_F(HttpDownloadTest, CancelFromAnotherThreadEndsASlowBody) {
    ASSERT_TRUE(server.PutFile("/slow.bin", std::string(2000000, 'w')));
    ASSERT_TRUE(server.SetFault("/slow.bin", "slow", "rate=8000"));
    FirstProgressCallback reading;
    http.SetCallback(&reading);
    std::thread canceller([&] {
        if (reading.WaitReading()) http.Cancel();
    });
    DWORD start = ::GetTickCount();
    BOOL fetched = Fetch("/slow.bin", temp.File(L"slow.bin"));
    DWORD took = ::GetTickCount() - start;
    canceller.join();
    EXPECT_FALSE(fetched);
    EXPECT_LT(took, 120000u);  // the whole body would take over four minutes
    std::printf("slow body: transfer ended %lu ms after its start\n", took);
}

// The answer is held back: the cancel closes the handles under the waiting request. Where
// WinInet does not abort the wait (Wine), the receive time-out ends it; either way the
// transfer fails and no handle is closed twice.
TEST_F(HttpDownloadTest, CancelWhileTheAnswerIsHeldBack) {
    ASSERT_TRUE(server.PutFile("/held.bin", std::string(1000, 'h')));
    ASSERT_TRUE(server.SetFault("/held.bin", "held", "code=200"));
    http.SetTimeouts(5000, 5000, 5000);
    DWORD cancelledAt = 0;
    std::thread canceller([&] {
        for (int tries = 0; tries < 600 && server.LogFor("/held.bin").empty(); ++tries) {
            ::Sleep(100);
        }
        cancelledAt = ::GetTickCount();
        http.Cancel();
    });
    BOOL fetched = Fetch("/held.bin", temp.File(L"held.bin"));
    DWORD ended = ::GetTickCount();
    canceller.join();
    server.Release("/held.bin");
    EXPECT_FALSE(fetched);
    std::printf("held answer: transfer ended %lu ms after the cancel\n", ended - cancelledAt);
    // Later transfers of the same client are refused without a request.
    size_t requests = server.Log().size();
    EXPECT_FALSE(Fetch("/held.bin", std::wstring()));
    EXPECT_EQ(server.Log().size(), requests);
}
