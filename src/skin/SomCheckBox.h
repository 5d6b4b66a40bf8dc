#pragma once
// A check box drawn from a nine-frame strip (0-3 unchecked normal/hover/pressed/disabled,
// 4-7 the same checked, 8 mixed) with its label at the right. A completed click changes the
// state (a radio-style box only checks; a mixed box becomes checked) and then reaches the
// host as WM_COMMAND with the box's id.

#include <string>

#include "skin/SomBitmap.h"
#include "skin/SomPressable.h"

class CSomCheckBox : public CSomPressable {
public:
    CSomCheckBox(CSomBitmap* boxImage, BOOL radio);  // image not owned

    BOOL GetCheck() const { return checked_; }
    void SetCheck(BOOL value);
    // The third, undecided look; cleared by a click or by SetCheck.
    void SetMixed() {
        mixed_ = 1;
        Redraw();
    }
    BOOL IsMixed() const { return mixed_; }
    void SetLabel(const std::wstring& label) { label_ = label; }
    void UpdateLayout();

    void OnCreate() override;
    void Draw(HDC hdc, int limitRight, int part) override;

    int CurrentFrame() const;

protected:
    void OnClicked() override;

private:
    BOOL checked_ = 0;
    BOOL mixed_ = 0;
    BOOL radio_;
    CSomBitmap* box_;
    std::wstring label_;
};
