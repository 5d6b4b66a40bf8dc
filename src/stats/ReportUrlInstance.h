#pragma once
// Report URLs for the statistics server stamped into this copy of the program.

#include <string>

#include "stats/ReportUrl.h"

std::wstring BuildOwnClientAppReportUrl(const ClientAppReport& report);
