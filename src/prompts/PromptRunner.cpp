#include "prompts/PromptRunner.h"

#include "prompts/PromptDlg.h"

int RunPromptModal(CPromptBase& prompt, HWND owner, const wchar_t* title) {
    if (!prompt.CreatePrompt(owner, title)) return prompt.GetResult();
    prompt.CenterWindow(owner);
    if (owner) ::EnableWindow(owner, FALSE);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (owner) {
        ::EnableWindow(owner, TRUE);
        ::SetForegroundWindow(owner);
    }
    return prompt.GetResult();
}
