#pragma once
// Shows a prompt the way every caller does: created over its owner (or alone), centred,
// and run in a nested message loop while the owner is disabled. Returns the result code.
//
// The loop ends on its own prompt's answer only, so a prompt opened from a timer while
// another prompt runs ends first, and the one below goes on. A WM_QUIT that arrives while a
// prompt runs ends that prompt (unanswered, result 4) and is posted again for the loop
// outside, so the program still ends.

#include <windows.h>

class CPromptBase;

int RunPromptModal(CPromptBase& prompt, HWND owner, const wchar_t* title = nullptr);

// The loop alone, for a prompt the caller has created and placed itself.
int RunCreatedPromptModal(CPromptBase& prompt, HWND owner);
