#pragma once
// Shows a prompt the way every caller does: created over its owner (or alone), centred,
// and run in a nested message loop while the owner is disabled. Returns the result code.

#include <windows.h>

class CPromptBase;

int RunPromptModal(CPromptBase& prompt, HWND owner, const wchar_t* title = nullptr);
