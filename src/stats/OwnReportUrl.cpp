#include "stats/OwnReportUrl.h"

#include "config/OwnDeployment.h"

std::wstring BuildOwnClientAppReportUrl(const ClientAppReport& report) {
    return BuildClientAppReportUrl(StatsServerHost(), report);
}
