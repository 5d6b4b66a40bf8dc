#include "server/TestServerClient.h"

#include <wininet.h>

#include <cstdlib>
#include <sstream>

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // control targets are ASCII
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

}  // namespace

CTestServer::CTestServer() {
    const char* port = std::getenv("VEXA_TEST_SERVER_PORT");
    if (port) port_ = std::atoi(port);
}

std::wstring CTestServer::Host() const { return L"127.0.0.1:" + std::to_wstring(port_); }

std::wstring CTestServer::Url(const std::wstring& path) const { return L"http://" + Host() + path; }

bool CTestServer::Request(const wchar_t* verb, const std::string& target, const std::string& body,
                          std::string* answer) {
    HINTERNET root = ::InternetOpenW(L"vexa-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!root) return false;
    bool ok = false;
    HINTERNET connection = ::InternetConnectW(root, L"127.0.0.1", static_cast<INTERNET_PORT>(port_),
                                              nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request =
        connection
            ? ::HttpOpenRequestW(connection, verb, Widen(target).c_str(), nullptr, nullptr, nullptr,
                                 INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
            : nullptr;
    if (request && ::HttpSendRequestW(request, nullptr, 0, const_cast<char*>(body.data()),
                                      static_cast<DWORD>(body.size()))) {
        DWORD status = 0;
        DWORD size = sizeof(status);
        ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                         nullptr);
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (::InternetReadFile(request, buffer, sizeof(buffer), &got) && got > 0) {
            text.append(buffer, got);
        }
        if (answer) *answer = text;
        ok = status == 200;
    }
    if (request) ::InternetCloseHandle(request);
    if (connection) ::InternetCloseHandle(connection);
    ::InternetCloseHandle(root);
    return ok;
}

bool CTestServer::PutFile(const std::string& path, const std::string& content) {
    return Request(L"PUT", "/__file?path=" + path, content, nullptr);
}

bool CTestServer::SetFault(const std::string& path, const std::string& mode,
                           const std::string& extra) {
    std::string target = "/__fault?path=" + path + "&mode=" + mode;
    if (!extra.empty()) target += "&" + extra;
    return Request(L"POST", target, std::string(), nullptr);
}

bool CTestServer::ClearFaults() {
    return Request(L"POST", "/__fault/clear", std::string(), nullptr);
}

bool CTestServer::Release(const std::string& path) {
    return Request(L"POST", "/__release?path=" + path, std::string(), nullptr);
}

bool CTestServer::ClearLog() { return Request(L"POST", "/__log/clear", std::string(), nullptr); }

std::vector<LoggedRequest> CTestServer::Log() {
    std::vector<LoggedRequest> entries;
    std::string text;
    if (!Request(L"GET", "/__log?format=tsv", std::string(), &text)) return entries;
    for (const std::string& line : Split(text, '\n')) {
        std::vector<std::string> fields = Split(line, '\t');
        if (fields.size() < 4) continue;
        LoggedRequest entry;
        entry.timeMs = std::atof(fields[1].c_str());
        entry.method = fields[2];
        entry.target = fields[3];
        for (size_t i = 4; i < fields.size(); ++i) {
            size_t colon = fields[i].find(": ");
            if (colon != std::string::npos) {
                entry.headers[fields[i].substr(0, colon)] = fields[i].substr(colon + 2);
            }
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<LoggedRequest> CTestServer::LogFor(const std::string& prefix) {
    std::vector<LoggedRequest> matching;
    for (const LoggedRequest& entry : Log()) {
        if (entry.target.compare(0, prefix.size(), prefix) == 0) matching.push_back(entry);
    }
    return matching;
}
