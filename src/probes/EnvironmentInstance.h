#pragma once
// The process-wide environment object.

#include "probes/Environment.h"

extern CEnvironment g_Environment;
