#pragma once
// The package is downloaded and verified: "%s下载完成，是否立即安装？". 2 = install now.
// A class of its own beside the family, with the same look and behaviour.

#include <string>

#include "prompts/PromptDlg.h"
#include "prompts/PromptSkin.h"

class CInstallGameDlg : public CPromptBase {
public:
    // The message for a game name. The name is drawn as plain characters, never as markup.
    static std::wstring MessageFor(const std::wstring& gameName) {
        return gameName + L"下载完成，是否立即安装？";
    }

protected:
    void CreateExtraButtons() override { CreateExtraButton(extraButton_, kPromptInstallNowImage); }
    void OnExtraButton(UINT id) override {
        if (id != kPromptExtraButtonId) return;
        SetResult(kPromptExtraButton);
        DestroyWindow();
    }

private:
    CSomButton4 extraButton_;
};
