#include "stats/ReportUrlInstance.h"

#include "config/DeploymentValuesInstance.h"

std::wstring BuildOwnClientAppReportUrl(const ClientAppReport& report) {
    return BuildClientAppReportUrl(StatsServerHost(), report);
}
