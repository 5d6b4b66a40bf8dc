#include "prompts/PromptFamily.h"

void CExtraButtonPromptDlg::OnExtraButton(UINT id) {
    if (id != kPromptExtraButtonId) return;
    SetResult(kPromptExtraButton);
    OnAffirmed();
    DestroyWindow();
}
