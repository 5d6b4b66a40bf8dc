#pragma once
// What every skinned, captionless window of the program shares beyond its element manager:
// the program's icon, a shape cut from a polygon, a press that no element takes dragging the
// window, and Enter and Escape doing nothing (there is no default or cancel button).

#include <windows.h>

#include "skin/SomWndManager.h"

class CSkinnedWindow : public CSomWndManager {
protected:
    // Sets the icon resource `iconId` of the program as the window's big icon.
    static void SetProgramIcon(HWND window, UINT iconId);
    // Cuts the window to `points` (ALTERNATE fill); the window owns the region it accepts.
    static void ApplyShape(HWND window, const POINT* points, int count);
    // A WM_LBUTTONDOWN: the elements take it first; anywhere else it starts a move of the
    // window, as its caption would.
    LRESULT PressOrDrag(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // True for the keyboard messages of Enter and Escape, which the windows swallow.
    static bool IsEnterOrEscape(const MSG* msg);
};
