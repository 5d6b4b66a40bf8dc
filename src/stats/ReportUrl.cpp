#include "stats/ReportUrl.h"

std::wstring BuildClientAppReportUrl(const std::wstring& statsHost, const ClientAppReport& report) {
    std::wstring url = L"http://" + statsHost + L"/ClientApp/" + report.name + L"/";
    url += L"?name=" + report.packageId;
    url += L"&from=" + std::to_wstring(report.withMd5 ? 1 : 0);
    url += L"&mid=" + report.machineId;
    url += L"&ver=" + report.versionText + L"&";
    if (report.withMd5) url += L"md5=" + report.md5List;
    return url;
}
