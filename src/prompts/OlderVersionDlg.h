#pragma once
// This downloader is older than the one the configuration announces. Shown on its own, not
// modal: when it ends, the program's main loop ends with it. 2 = download the new downloader
// (its link, or the feedback forum when the configuration gives none).

#include <string>

#include "prompts/PromptFamily.h"

class COlderVersionDlg : public CExtraButtonPromptDlg {
public:
    COlderVersionDlg() : CExtraButtonPromptDlg(kPromptDownloadImage) {}
    void SetLink(const std::wstring& url) { link_ = url; }
    // The page the download button opens.
    std::wstring LinkToOpen() const;

protected:
    void OnAffirmed() override;

private:
    std::wstring link_;
};
