#pragma once
// The prompts that only add an extra (affirmative) button, and the two without one.
// Their messages are set by the callers; the extra button answers 2.

#include "prompts/PromptDlg.h"
#include "prompts/PromptSkin.h"

// A prompt with the extra button (id 102) showing one shared image.
class CExtraButtonPromptDlg : public CPromptDlg {
public:
    explicit CExtraButtonPromptDlg(UINT extraImageId) : extraImageId_(extraImageId) {}

protected:
    void CreateExtraButtons() override { CreateExtraButton(extraButton_, ExtraImageId()); }
    void OnExtraButton(UINT id) override;
    // The subclass's action after the result is set and before the window goes.
    virtual void OnAffirmed() {}
    virtual UINT ExtraImageId() const { return extraImageId_; }

    CSomButton4 extraButton_;

private:
    UINT extraImageId_;
};

// The chosen folder cannot take the download (FAT32 limit, no write permission, full disk);
// 2 = choose another folder.
class CDirErrDlg : public CExtraButtonPromptDlg {
public:
    CDirErrDlg() : CExtraButtonPromptDlg(kPromptChangeFolderImage) {}
};

// A downloaded file is damaged; 2 = download again.
class CFileDamagedDlg : public CExtraButtonPromptDlg {
public:
    CFileDamagedDlg() : CExtraButtonPromptDlg(kPromptDownloadAgainImage) {}
};

// The download failed; 2 = feedback.
class CDownLoadFailedDlg : public CExtraButtonPromptDlg {
public:
    CDownLoadFailedDlg() : CExtraButtonPromptDlg(kPromptFeedbackImage) {}
};

// The installer file is wrong; 2 = continue (open its folder).
class CFileErrDlg : public CExtraButtonPromptDlg {
public:
    CFileErrDlg() : CExtraButtonPromptDlg(kPromptContinueImage) {}
};

// The companion product is already installed.
class CQuilletInstalledDlg : public CPromptDlg {};

// The download folder cannot be opened.
class CDirOpenFailedDlg : public CPromptDlg {};
