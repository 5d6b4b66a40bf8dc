#include "app/ProcessGuardInstance.h"

#include "app/CrashHandler.h"
#include "app/ModuleSearch.h"
#include "base/ProcessObjectOrder.h"

CProcessGuard::CProcessGuard() {
    RestrictModuleSearch();  // first: the crash handler loads the dump writer's module
    InstallCrashHandler();
}

CProcessGuard g_ProcessGuard VEXA_PROCESS_OBJECT(kProcessGuardOrder);
