// The program's process-wide objects. Each is defined beside its owner, in that folder's
// ...Instance.cpp, and takes its place in the creation order from base/ProcessObjectOrder.h.
// The linker takes a file from a library only when something names it, and nothing names
// some of these objects at run time (the download-time event binds the engine while it is
// made), so this list, linked into the program itself, names every one.

#include "app/ProcessGuardInstance.h"
#include "config/DownloaderConfigInstance.h"
#include "probes/EnvironmentInstance.h"
#include "shell/AppModuleInstance.h"
#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinResourcesInstance.h"
#include "stats/StatisticsDLEventInstance.h"
#include "stats/StatisticsMgrInstance.h"
#include "workflow/WorkflowStateInstance.h"

extern const void* const kVexaProcessObjects[];
const void* const kVexaProcessObjects[] = {
    &g_ProcessGuard,  &g_SkinResources, &g_SharedBitmaps, &g_Config,         &g_Module,
    &g_Environment,   &g_Workflow,      &g_pStatisticsMgr, &g_StatisticsDLEvent,
};
