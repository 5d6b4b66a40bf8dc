#pragma once
// The services an element manager offers to its windowless elements. Elements reach their
// host window only through this interface.

#include <windows.h>

class CSomWnd;

class ISomWndManager {
public:
    virtual void AddElement(CSomWnd* element) = 0;
    virtual void RemoveElement(CSomWnd* element) = 0;
    virtual void CaptureMouse(CSomWnd* element) = 0;
    virtual void ReleaseMouse(CSomWnd* element) = 0;
    virtual LRESULT SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // WM_COMMAND to the host: wParam = MAKEWPARAM(id, notifyCode), lParam = the element.
    virtual LRESULT SendHostCommand(CSomWnd* element, WORD notifyCode, WORD id) = 0;
    virtual BOOL PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void SetElementRect(CSomWnd* element, int x, int y, int cx, int cy) = 0;
    virtual void SetElementSize(CSomWnd* element, int cx, int cy) = 0;
    virtual void SetElementPos(CSomWnd* element, int x, int y) = 0;
    // subRect is element-local (null = the whole element); part 0 = whole element,
    // n = only part n - 1 (elements define their parts).
    virtual void RedrawElement(CSomWnd* element, const RECT* subRect, BOOL forceBackground,
                               int part) = 0;
    // Returns the new tool id, or 0 when the element already has a tool with that key.
    virtual UINT AddToolTip(CSomWnd* element, UINT toolKey, const RECT* rect) = 0;
    virtual void RemoveToolTips(CSomWnd* element) = 0;
    virtual void BeginDeferredDraw() = 0;
    virtual void EndDeferredDraw() = 0;
    // Paints the host background under `rect` (host client coordinates; null = clip box).
    virtual void DrawBackground(HDC hdc, const RECT* rect) = 0;
    virtual void DrawElements(HDC hdc, const RECT& rect) = 0;

protected:
    ~ISomWndManager() = default;
};
