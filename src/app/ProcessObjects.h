#pragma once
// The process-wide objects. They are defined in one translation unit, ProcessObjects.cpp,
// so that they are created in exactly this order before the entry point and destroyed in
// reverse order after it returns.

#include "app/AppModule.h"
#include "config/DownloaderConfig.h"
#include "probes/Environment.h"
#include "skin/SharedBitmaps.h"
#include "skin/SkinResources.h"
#include "stats/StatisticsDLEvent.h"
#include "stats/StatisticsMgr.h"
#include "workflow/WorkflowState.h"

extern CSkinResources g_SkinResources;    // memory DC and font table
extern CSharedBitmaps g_SharedBitmaps;    // prompt-dialog and shared skin images
extern CDownloaderConfig g_Config;        // reads the package identity when constructed
extern CAppModule g_Module;               // message loops and window classes
extern CEnvironment g_Environment;        // environment probes
extern CWorkflowState g_Workflow;         // pending files, totals, MD5 list
extern CStatisticsMgr* g_pStatisticsMgr;  // created on the heap, never destroyed
extern CStatisticsDLEvent g_StatisticsDLEvent;  // binds the engine when constructed
