#pragma once
// Elements that are real child windows (the embedded web view) are driven through this
// interface; every operation acts on the element's own window.

#include <windows.h>

class ISomUIElement {
public:
    virtual ~ISomUIElement() = default;
    virtual BOOL GetClientRect(RECT* rect) = 0;
    // The window rectangle in the parent's client coordinates; fails without a parent window.
    virtual BOOL GetRect(RECT* rect) = 0;
    virtual BOOL SetRect(int x, int y, int cx, int cy) = 0;
    virtual BOOL SetSize(int cx, int cy) = 0;
    virtual BOOL SetPos(int x, int y) = 0;
    virtual BOOL Destroy() = 0;
    virtual BOOL Show(BOOL show) = 0;
};

// The usual implementation over a window handle (not owned; Destroy destroys the window).
class CSomUIWindowElement : public ISomUIElement {
public:
    explicit CSomUIWindowElement(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void SetElementWindow(HWND hwnd) { hwnd_ = hwnd; }
    HWND GetElementWindow() const { return hwnd_; }

    BOOL GetClientRect(RECT* rect) override { return ::GetClientRect(hwnd_, rect); }
    BOOL GetRect(RECT* rect) override {
        HWND parent = ::GetParent(hwnd_);
        if (!parent || !::GetWindowRect(hwnd_, rect)) return FALSE;
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(rect), 2);
        return TRUE;
    }
    BOOL SetRect(int x, int y, int cx, int cy) override {
        return ::SetWindowPos(hwnd_, nullptr, x, y, cx, cy, SWP_NOZORDER);
    }
    BOOL SetSize(int cx, int cy) override {
        return ::SetWindowPos(hwnd_, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE);
    }
    BOOL SetPos(int x, int y) override {
        return ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    }
    BOOL Destroy() override { return ::DestroyWindow(hwnd_); }
    BOOL Show(BOOL show) override { return ::ShowWindow(hwnd_, show ? 1 : 0); }

private:
    HWND hwnd_;
};
