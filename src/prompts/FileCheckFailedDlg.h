#pragma once
// A downloaded file failed the integrity check: "文件安全校验失败，更多帮助，请" followed by the
// link "点击反馈". The link (3) asks the owner for its feedback page (command 17) and leaves
// the prompt open; 2 = download again (several files) or continue (one file).

#include "prompts/PromptFamily.h"

class CFileCheckFailedDlg : public CExtraButtonPromptDlg {
public:
    static constexpr UINT kFeedbackCommand = 17;

    CFileCheckFailedDlg() : CExtraButtonPromptDlg(kPromptContinueImage) {}

protected:
    void CreateExtraButtons() override;
    void OnCommand(UINT id) override;
    UINT ExtraImageId() const override {
        return multiFileForm_ ? kPromptDownloadAgainImage : kPromptContinueImage;
    }

private:
    CSomTextWnd feedbackLink_;
};
