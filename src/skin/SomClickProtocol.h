#pragma once
// The press-and-release protocol shared by the pressable elements (buttons, check box): a
// press takes the mouse capture, the release gives it back, and losing the capture ends
// the press; it counts as a click only when the pointer is still over the element.

#include "skin/ISomWndManager.h"
#include "skin/SomWnd.h"

template <class Flag>
BOOL PressSomElement(CSomWnd& element, Flag& pressed) {
    if (pressed) return TRUE;
    pressed = 1;
    element.Redraw();
    if (ISomWndManager* manager = element.GetManager()) manager->CaptureMouse(&element);
    return TRUE;
}

template <class Flag>
BOOL ReleaseSomElement(CSomWnd& element, const Flag& pressed) {
    if (pressed) {
        if (ISomWndManager* manager = element.GetManager()) manager->ReleaseMouse(&element);
    }
    return TRUE;
}

// Sets the hover flag and redraws when it changed.
template <class Flag>
void SetSomHover(CSomWnd& element, Flag& hover, bool over) {
    if (static_cast<bool>(hover) == over) return;
    hover = over ? 1 : 0;
    element.Redraw();
}

inline void SendSomClick(CSomWnd& element) {
    if (ISomWndManager* manager = element.GetManager()) {
        manager->SendHostCommand(&element, 0, static_cast<WORD>(element.GetId()));
    }
}
