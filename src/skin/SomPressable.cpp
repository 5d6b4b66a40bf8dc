#include "skin/SomPressable.h"

#include "skin/ISomWndManager.h"

BOOL CSomPressable::OnLButtonDown(POINT) {
    if (pressed_) return TRUE;
    pressed_ = 1;
    Redraw();
    if (ISomWndManager* manager = GetManager()) manager->CaptureMouse(this);
    return TRUE;
}

BOOL CSomPressable::OnLButtonUp(POINT) {
    if (pressed_) {
        if (ISomWndManager* manager = GetManager()) manager->ReleaseMouse(this);
    }
    return TRUE;
}

void CSomPressable::OnCaptureLost() {
    if (!pressed_) return;
    pressed_ = 0;
    if (hover_) OnClicked();
    Redraw();
    if (!hover_) return;
    if (ISomWndManager* manager = GetManager()) {
        manager->SendHostCommand(this, 0, static_cast<WORD>(GetId()));
    }
}

void CSomPressable::OnMouseEnter(POINT) { SetHover(true); }

void CSomPressable::OnMouseLeave() { SetHover(false); }

void CSomPressable::SetHover(bool over) {
    if (static_cast<bool>(hover_) == over) return;
    hover_ = over ? 1 : 0;
    Redraw();
}
