#pragma once
// The deployment values stamped into the running program (see DeploymentValues.h).

#include <string>

#include "config/DeploymentValues.h"

// Read from the program's own resource once and kept; defaults when it is missing.
const DeploymentValues& OwnDeploymentValues();

// The values as wide texts, for URLs.
std::wstring ConfigServerHost();
std::wstring StatsServerHost();
std::wstring MakerHomePageUrl();
std::wstring FeedbackPageUrl();
