#include "probes/EnvironmentInstance.h"

#include "base/ProcessObjectOrder.h"

CEnvironment g_Environment VEXA_PROCESS_OBJECT(kEnvironmentOrder);
