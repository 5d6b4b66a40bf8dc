#pragma once
// The URLs of the usage reports sent to the statistics server.

#include <string>

constexpr wchar_t kReportDownloadStarted[] = L"statLogMuldownUrl";
constexpr wchar_t kReportCompanionOffered[] = L"statLogQuilletMuldownUrl";
constexpr wchar_t kReportPackageVerified[] = L"statLogMuldownMd5";

// A query value as written, except "&", "#", "%", "+", "=", blanks, controls and characters
// beyond ASCII, which go out as "%XX" of their UTF-8 bytes: the identifier keeps its braces
// and the MD5 list its commas.
std::wstring EncodeReportValue(const std::wstring& value);

struct ClientAppReport {
    std::wstring name;       // one of the report names above
    std::wstring packageId;  // braces included
    std::wstring machineId;  // empty when it cannot be obtained
    std::wstring versionText;
    bool withMd5 = false;  // the verified report carries the package's MD5 list
    std::wstring md5List;  // the parts' MD5 texts joined with ","
};

// "http://" + host + "/ClientApp/" + name + "/?name=..&from=..&mid=..&ver=..&" [+ "md5=.."].
// No text can end a value early, add a parameter or break the request line.
std::wstring BuildClientAppReportUrl(const std::wstring& statsHost, const ClientAppReport& report);
