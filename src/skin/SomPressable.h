#pragma once
// The press-and-release protocol shared by the pressable elements (buttons, check box): a
// press takes the mouse capture, the release gives it back, and losing the capture ends
// the press; it counts as a click only when the pointer is still over the element. A click
// reaches the host as WM_COMMAND with the element's id.

#include "skin/SomWnd.h"

class CSomPressable : public CSomWnd {
public:
    BOOL IsHover() const { return hover_; }
    BOOL IsPressed() const { return pressed_; }

    void OnCaptureLost() override;
    BOOL OnLButtonDown(POINT point) override;
    BOOL OnLButtonUp(POINT point) override;
    BOOL OnLButtonDblClk(POINT point) override { return OnLButtonDown(point); }
    void OnMouseEnter(POINT point) override;
    void OnMouseLeave() override;

protected:
    // A completed click, before the element redraws and the host hears of it.
    virtual void OnClicked() {}

    BOOL hover_ = 0;
    BOOL pressed_ = 0;

private:
    void SetHover(bool over);
};
