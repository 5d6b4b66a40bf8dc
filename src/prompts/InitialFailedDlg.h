#pragma once
// The configuration could not be read. Shown on its own, not modal. Retry (2) hands over to
// a new main window and leaves the message loop running; the close box (0) or closing the
// prompt ends the loop, and with it the program.

#include <functional>

#include "prompts/PromptFamily.h"

class CInitialFailedDlg : public CExtraButtonPromptDlg {
public:
    // `retry` replaces the program's main window with a new one (the main window's code
    // supplies it). Without one, retry ends the loop like the other buttons.
    explicit CInitialFailedDlg(std::function<void()> retry = {})
        : CExtraButtonPromptDlg(kPromptRetryImage), retry_(std::move(retry)) {}

protected:
    void OnAffirmed() override {
        if (retry_) retry_();
    }
    bool EndsLoopOn(UINT id) const override { return id != kPromptExtraButtonId || !retry_; }

private:
    std::function<void()> retry_;
};
