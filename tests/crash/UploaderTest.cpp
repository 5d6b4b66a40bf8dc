// The uploader Plorex.exe against the local test server: a copy stamped for the server's
// port sends the dumps of one program from one folder, deletes what the server received
// and keeps everything else for its next run.

#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Stamp.h"
#include "crash/CrashRun.h"
#include "server/TestServerClient.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace {

constexpr char kPackageId[] = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
constexpr char kVersion[] = "3.1.4.15";
constexpr wchar_t kProgram[] = L"游戏.exe";

std::string Narrow(const std::wstring& text) {
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    return out;
}

// A copy of the built uploader stamped for `statsServer`, written to `path`.
bool StampUploader(const std::wstring& path, const std::string& statsServer) {
    std::ifstream in(BesideTest(L"Plorex-built.exe").c_str(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    stamp::PeImage image;
    stamp::StampRequest request;
    request.packageId = kPackageId;
    request.statsServer = statsServer;
    stamp::FileVersion version;
    if (!stamp::ParseFileVersion(kVersion, &version)) return false;
    request.version = version;
    std::string error;
    if (!image.Load(std::move(bytes), &error) || !stamp::ApplyStamp(image, request, &error))
        return false;
    return CScratchFolder::Write(path, image.Bytes().data(), image.Bytes().size());
}

// A port on which nothing listens: bound once by the system's choice, then let go.
int ClosedPort() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(s);
    return ntohs(address.sin_port);
}

std::string DumpBytes(size_t size, char fill) {
    std::string bytes(size, fill);
    bytes.replace(0, 4, "MDMP");
    return bytes;
}

class UploaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server_.IsAvailable()) GTEST_SKIP() << "needs the local test server";
        uploader_ = scratch_ / L"Plorex.exe";
        ASSERT_TRUE(StampUploader(uploader_, "127.0.0.1:" + std::to_string(server_.Port())));
        dumps_ = scratch_ / L"dump\\";
        ASSERT_TRUE(::CreateDirectoryW(dumps_.c_str(), nullptr));
        ASSERT_TRUE(server_.ClearLog());
        ASSERT_TRUE(server_.ClearFaults());
    }

    std::wstring Dump(const wchar_t* number, const wchar_t* program = kProgram) const {
        return dumps_ + program + L"_" + number + L".dmp";
    }

    // Runs the uploader as the crash handler starts it; true when it ended in time.
    bool Upload(const std::wstring& dump, DWORD waitMs = 120000) {
        std::wstring line = L"\"Plorex.exe\" \"" + dump + L"\" \"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!::CreateProcessW(uploader_.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              scratch_.Path().c_str(), &startup, &process)) {
            ADD_FAILURE() << "the uploader did not start: error " << ::GetLastError();
            return false;
        }
        DWORD waited = ::WaitForSingleObject(process.hProcess, waitMs);
        if (waited != WAIT_OBJECT_0)
            ADD_FAILURE() << "waiting for the uploader: " << waited << ", error " << ::GetLastError();
        bool ended = waited == WAIT_OBJECT_0;
        if (!ended) ::TerminateProcess(process.hProcess, 9);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return ended;
    }

    std::vector<LoggedRequest> Uploads() { return server_.LogFor("/crashdump/"); }

    // The server's copy of an upload, read through its content folder.
    std::string Stored(const std::string& target) const {
        std::string path = std::string(std::getenv("VEXA_TEST_SERVER_ROOT")) + target;
        std::wstring windows = L"Z:";
        for (char c : path) windows.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
        std::vector<uint8_t> bytes = CScratchFolder::Read(windows);
        return std::string(bytes.begin(), bytes.end());
    }

    CTestServer server_;
    CScratchFolder scratch_;
    std::wstring uploader_;
    std::wstring dumps_;
};

TEST_F(UploaderTest, AReceivedDumpIsDeletedAndNamedAfterPackageVersionAndClient) {
    std::string bytes = DumpBytes(300 * 1024 + 7, 'a');
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"000"), bytes));
    ASSERT_TRUE(Upload(Dump(L"000")));
    EXPECT_FALSE(CScratchFolder::Exists(Dump(L"000")));

    std::vector<LoggedRequest> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].method, "PUT");
    const std::string& target = uploads[0].target;
    std::string prefix = "/crashdump/%7B0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0%7D/3.1.4.15/";
    ASSERT_EQ(target.compare(0, prefix.size(), prefix), 0) << target;
    // <32 hex digits of the client>_<yyyymmddThhmmssZ>_000.dmp
    std::string name = target.substr(prefix.size());
    ASSERT_EQ(name.size(), 32u + 1 + 16 + 1 + 7) << name;
    EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF"), 32u) << name;
    EXPECT_EQ(name.substr(name.size() - 8), "_000.dmp");
    EXPECT_EQ(uploads[0].headers["Content-Type"], "application/octet-stream");
    EXPECT_EQ(Stored("/crashdump/{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}/3.1.4.15/" + name), bytes);
}

TEST_F(UploaderTest, WhenTheServerIsDownDumpsAreKeptAndSentOnTheNextRun) {
    ASSERT_TRUE(StampUploader(uploader_, "127.0.0.1:" + std::to_string(ClosedPort())));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"000"), DumpBytes(4096, 'b')));
    ASSERT_TRUE(Upload(Dump(L"000")));
    EXPECT_TRUE(CScratchFolder::Exists(Dump(L"000")));

    // The next crash's uploader, with the server back, sends both.
    ASSERT_TRUE(StampUploader(uploader_, "127.0.0.1:" + std::to_string(server_.Port())));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"001"), DumpBytes(4096, 'c')));
    ASSERT_TRUE(Upload(Dump(L"001")));
    EXPECT_FALSE(CScratchFolder::Exists(Dump(L"000")));
    EXPECT_FALSE(CScratchFolder::Exists(Dump(L"001")));
    std::vector<LoggedRequest> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_NE(uploads[0].target.find("_001.dmp"), std::string::npos);  // the new one first
    EXPECT_NE(uploads[1].target.find("_000.dmp"), std::string::npos);
}

TEST_F(UploaderTest, AServerThatTakesTheBodyButNeverAnswersDoesNotKeepItRunning) {
    ASSERT_TRUE(server_.SetFault("/crashdump/*", "delay", "ms=240000"));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"000"), DumpBytes(64 * 1024, 'd')));
    ASSERT_TRUE(Upload(Dump(L"000"), 150000)) << "the uploader did not end on its own";
    EXPECT_TRUE(CScratchFolder::Exists(Dump(L"000")));
}

TEST_F(UploaderTest, ARefusedDumpIsKeptAndTheOthersStillGo) {
    ASSERT_TRUE(server_.SetFault("/crashdump/*", "status", "code=500&times=1"));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"002"), DumpBytes(2048, 'e')));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"007"), DumpBytes(2048, 'f')));
    ASSERT_TRUE(Upload(Dump(L"002")));
    EXPECT_TRUE(CScratchFolder::Exists(Dump(L"002")));
    EXPECT_FALSE(CScratchFolder::Exists(Dump(L"007")));
    EXPECT_EQ(Uploads().size(), 2u);
}

TEST_F(UploaderTest, OversizeUnreadableAndForeignFilesAreSkippedAndKept) {
    // Over the limit: 32 MiB and one byte, mostly a hole.
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"001"), DumpBytes(16, 'g')));
    {
        HANDLE file = ::CreateFileW(Dump(L"001").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER size;
        size.QuadPart = (32ll << 20) + 1;
        ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file));
        ::CloseHandle(file);
    }
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"002"), std::string("not a minidump")));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"003"), DumpBytes(1024, 'h')));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"004"), DumpBytes(1024, 'i')));
    ASSERT_TRUE(CScratchFolder::Write(Dump(L"004", L"其他.exe"), DumpBytes(1024, 'j')));
    // Held open by someone else (a program still writing it).
    HANDLE busy = ::CreateFileW(Dump(L"003").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    bool ended = Upload(Dump(L"004"));
    ::CloseHandle(busy);
    ASSERT_TRUE(ended);

    EXPECT_FALSE(CScratchFolder::Exists(Dump(L"004")));
    for (const wchar_t* kept : {L"001", L"002", L"003"})
        EXPECT_TRUE(CScratchFolder::Exists(Dump(kept))) << Narrow(kept);
    EXPECT_TRUE(CScratchFolder::Exists(Dump(L"004", L"其他.exe")));
    std::vector<LoggedRequest> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_NE(uploads[0].target.find("_004.dmp"), std::string::npos);
}

TEST_F(UploaderTest, AtMostTheElevenDumpsOfOneProgramGoInOneRun) {
    const wchar_t* numbers[] = {L"000", L"001", L"002", L"003", L"004", L"005",
                                L"006", L"007", L"008", L"009", L"010", L"011"};
    for (const wchar_t* number : numbers)
        ASSERT_TRUE(CScratchFolder::Write(Dump(number), DumpBytes(512, 'k')));
    ASSERT_TRUE(Upload(Dump(L"010")));
    EXPECT_EQ(Uploads().size(), 11u);
    for (const wchar_t* number : numbers)
        EXPECT_EQ(CScratchFolder::Exists(Dump(number)), std::wstring(number) == L"011");
}

}  // namespace
