#pragma once
// The process-wide workflow lists shared by the main window and the download window.

class CWorkflowState {
public:
    CWorkflowState() = default;
};
