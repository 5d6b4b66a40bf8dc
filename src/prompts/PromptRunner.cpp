#include "prompts/PromptRunner.h"

#include "prompts/PromptDlg.h"

int RunPromptModal(CPromptBase& prompt, HWND owner, const wchar_t* title) {
    if (!prompt.CreatePrompt(owner, title)) return prompt.GetResult();
    prompt.CenterWindow(owner);
    return RunCreatedPromptModal(prompt, owner);
}

int RunCreatedPromptModal(CPromptBase& prompt, HWND owner) {
    // An owner already disabled by a prompt below this one stays disabled afterwards.
    const bool enableOwner = owner && ::IsWindowEnabled(owner);
    if (enableOwner) ::EnableWindow(owner, FALSE);
    prompt.SetModal(true);
    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (!prompt.IsEnded()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    prompt.SetModal(false);
    if (prompt.IsWindow()) prompt.DestroyWindow();
    if (enableOwner && ::IsWindow(owner)) {
        ::EnableWindow(owner, TRUE);
        ::SetForegroundWindow(owner);
    }
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    return prompt.GetResult();
}
