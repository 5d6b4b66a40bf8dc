#pragma once
// Access to the local test server from a Windows test started by with_server.sh: its port
// and content folder come from the environment; control calls go over plain HTTP.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct LoggedRequest {
    double timeMs = 0;  // since the server started
    std::string method;
    std::string target;  // path and query as sent
    std::map<std::string, std::string> headers;
};

class CTestServer {
public:
    CTestServer();

    // False when the test runs without with_server.sh.
    bool IsAvailable() const { return port_ != 0; }
    int Port() const { return port_; }
    std::wstring Host() const;                         // "127.0.0.1:PORT"
    std::wstring Url(const std::wstring& path) const;  // "http://127.0.0.1:PORT" + path

    bool PutFile(const std::string& path, const std::string& content);
    // mode and extra parameters as the server's /__fault takes them ("at=100&times=1").
    bool SetFault(const std::string& path, const std::string& mode,
                  const std::string& extra = std::string());
    bool ClearFaults();
    // Lets the requests that a "held" fault keeps waiting for `path` be answered.
    bool Release(const std::string& path);
    bool ClearLog();
    std::vector<LoggedRequest> Log();
    // Requests whose target starts with `prefix`.
    std::vector<LoggedRequest> LogFor(const std::string& prefix);

private:
    bool Request(const wchar_t* verb, const std::string& target, const std::string& body,
                 std::string* answer);

    int port_ = 0;
};
