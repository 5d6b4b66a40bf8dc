#include "app/ProcessObjects.h"

// Order matters: definitions in one translation unit are constructed top to bottom.
CSkinResources g_SkinResources;
CSharedBitmaps g_SharedBitmaps;
CDownloaderConfig g_Config;
CAppModule g_Module;
CEnvironment g_Environment;
CWorkflowState g_Workflow;
CStatisticsMgr* g_pStatisticsMgr = new CStatisticsMgr;
CStatisticsDLEvent g_StatisticsDLEvent;
