#include "shell/AppModuleInstance.h"

#include "base/ProcessObjectOrder.h"

CAppModule g_Module VEXA_PROCESS_OBJECT(kAppModuleOrder);
