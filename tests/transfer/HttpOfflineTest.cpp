// Run by with_server.sh --offline: the system reports no connection, loopback still works.

#include <gtest/gtest.h>

#include "server/TestServerClient.h"
#include "server/TestTempFolder.h"
#include "transfer/HttpDownload.h"
#include "transfer/NetworkState.h"

namespace {

struct CountingCallback : IHttpDownloadCallback {
    int OnHttpStatus(DWORD, DWORD, int) override { return ++calls; }
    int calls = 0;
};

}  // namespace

TEST(HttpOffline, ProbeReportsOffline) { EXPECT_FALSE(IsNetworkConnected()); }

TEST(HttpOffline, DownloadOpensNothingAndCreatesNoFile) {
    CTestServer server;
    ASSERT_TRUE(server.IsAvailable());
    ASSERT_TRUE(server.PutFile("/offline.bin", "reachable"));
    server.ClearLog();
    CTestTempFolder temp;
    std::wstring file = temp.File(L"offline.bin");
    CHttpDownload http;
    CountingCallback callback;
    http.SetCallback(&callback);
    EXPECT_FALSE(http.Download(server.Url(L"/offline.bin").c_str(), file.c_str()));
    EXPECT_EQ(callback.calls, 0);  // no handle opened, so no state 2
    EXPECT_FALSE(CTestTempFolder::Exists(file));
    EXPECT_TRUE(server.Log().empty());
}
