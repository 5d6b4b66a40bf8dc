#include "prompts/OlderVersionDlg.h"

#include "config/DeploymentValuesInstance.h"
#include "shell/LinkOpener.h"

std::wstring COlderVersionDlg::LinkToOpen() const {
    return link_.empty() ? FeedbackPageUrl() : link_;
}

void COlderVersionDlg::OnAffirmed() {
    // The link comes from the configuration document: a file path is never run.
    ShellOpenLink(LinkToOpen());
}
