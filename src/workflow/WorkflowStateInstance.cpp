#include "workflow/WorkflowStateInstance.h"

#include "base/ProcessObjectOrder.h"

CWorkflowState g_Workflow VEXA_PROCESS_OBJECT(kWorkflowStateOrder);
