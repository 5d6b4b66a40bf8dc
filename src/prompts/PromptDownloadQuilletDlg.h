#pragma once
// Asked when the user unticks the companion product: "装上试试" (2) keeps it, "下次再装" (1)
// drops it. The message is the configured tip (see SetTip).

#include <string>

#include "base/GdiHandles.h"
#include "prompts/PromptDlg.h"

class CPromptDownloadQuilletDlg : public CPromptDlg {
public:
    CPromptDownloadQuilletDlg();
    // The configured CancelDownloadTips: empty -> the default offer; only the part before the
    // first "￥"; at most 40 characters.
    void SetTip(const std::wstring& text);

protected:
    void CreateExtraButtons() override;
    void OnExtraButton(UINT id) override;

private:
    CMySomButton4 extraButton_;
    CFontHandle font_;  // 黑体, 14 pixels, bold: the buttons' label font
};
