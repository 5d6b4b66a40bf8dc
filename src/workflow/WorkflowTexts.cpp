#include "workflow/WorkflowTexts.h"

std::wstring ProgramTitleFor(const std::wstring& gameName) {
    return kProgramName + (L"-" + gameName) + L"专版";
}
