#pragma once
// The process-wide workflow lists shared by the main window and the download window.

#include "workflow/WorkflowState.h"

extern CWorkflowState g_Workflow;
