#pragma once
// The URLs of the usage reports sent to the statistics server.

#include <string>

constexpr wchar_t kReportDownloadStarted[] = L"statLogMuldownUrl";
constexpr wchar_t kReportCompanionOffered[] = L"statLogQuilletMuldownUrl";
constexpr wchar_t kReportPackageVerified[] = L"statLogMuldownMd5";

// A query value: every character but A-Z, a-z, 0-9 and "-._~" as "%XX" of its UTF-8 bytes.
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
// Every value is percent-encoded, so no text can end a value early or add a parameter.
std::wstring BuildClientAppReportUrl(const std::wstring& statsHost, const ClientAppReport& report);
