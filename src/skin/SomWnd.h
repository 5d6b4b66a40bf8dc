#pragma once
// The base of every windowless element: a rectangle in the client coordinates of one host
// window, drawn into the host's DC and fed with the host's mouse messages by the host's
// element manager (CSomWndManager). Elements are owned by their host window object (as
// members); the manager only lists them.

#include <windows.h>

#include <commctrl.h>

class ISomWndManager;

class CSomWnd {
public:
    enum StyleBits : DWORD {
        kVisible = 0x1,
        kAutoSize = 0x2,  // the element sets its own size from its content
        kDisabled = 0x4,
        kTransparent = 0x8,  // the host background is painted under the element first
    };

    CSomWnd() = default;
    CSomWnd(const CSomWnd&) = delete;
    CSomWnd& operator=(const CSomWnd&) = delete;
    // An element that goes away while still listed takes itself off its manager's list, so
    // the manager never keeps a dangling pointer.
    virtual ~CSomWnd();

    virtual void Release() { delete this; }
    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnTimer() {}  // every 100 ms while the host lives
    virtual void OnMove(int /*x*/, int /*y*/) {}
    virtual void OnSize(int /*cx*/, int /*cy*/) {}
    // Draws in element-local coordinates. limitRight -1 = no limit; part 0 = everything,
    // n = only part n - 1.
    virtual void Draw(HDC hdc, int limitRight, int part) = 0;
    virtual void OnCaptureLost() {}
    // Mouse handlers get element-local points and return non-zero when they consumed the
    // message (for OnSetCursor: when they set the cursor).
    virtual BOOL OnSetCursor(POINT /*point*/) { return FALSE; }
    virtual BOOL OnLButtonDown(POINT /*point*/) { return FALSE; }
    virtual BOOL OnLButtonUp(POINT /*point*/) { return FALSE; }
    virtual BOOL OnLButtonDblClk(POINT /*point*/) { return FALSE; }
    virtual BOOL OnMouseMove(POINT /*point*/) { return FALSE; }
    virtual void OnMouseEnter(POINT /*point*/) {}
    virtual void OnMouseLeave() {}
    virtual void OnGetToolTipText(UINT /*toolKey*/, NMTTDISPINFOW* /*info*/) {}
    virtual void RecalcLayout() {}

    // Stores the fields, lists the element with the manager, then OnCreate, OnMove, OnSize.
    void Create(ISomWndManager* manager, void* parent, void* userData, int x, int y, int cx, int cy,
                UINT id, DWORD style);
    void Create(ISomWndManager* manager, UINT id, DWORD style);
    void Create(ISomWndManager* manager, int x, int y, UINT id, DWORD style);

    BOOL IsVisible() const { return (style_ & kVisible) != 0; }
    BOOL IsEnabled() const { return (style_ & kDisabled) == 0; }
    BOOL IsTransparent() const { return (style_ & kTransparent) != 0; }
    BOOL IsAutoSize() const { return (style_ & kAutoSize) != 0; }
    DWORD GetStyle() const { return style_; }
    UINT GetId() const { return id_; }
    void GetRect(RECT* rect) const { *rect = rect_; }
    const RECT& Rect() const { return rect_; }
    int GetWidth() const { return rect_.right - rect_.left; }
    int GetHeight() const { return rect_.bottom - rect_.top; }
    ISomWndManager* GetManager() const { return manager_; }
    void* GetParent() const { return parent_; }
    void* GetUserData() const { return userData_; }

    // Both return the previous state and redraw when the state changed; hiding repaints
    // the host background where the element was.
    BOOL Show(BOOL show);
    BOOL Enable(BOOL enable);
    void SetRect(int x, int y, int cx, int cy);
    void SetSize(int cx, int cy);
    void SetPos(int x, int y);
    void Redraw(const RECT* subRect = nullptr, int part = 0);

protected:
    void ModifyStyle(DWORD remove, DWORD add) { style_ = (style_ & ~remove) | add; }

private:
    friend class CSomWndManager;
    void StoreRect(const RECT& rect) { rect_ = rect; }
    void Detach();

    DWORD style_ = 0;
    UINT id_ = 0;
    RECT rect_ = {0, 0, 0, 0};
    ISomWndManager* manager_ = nullptr;  // not owned
    void* parent_ = nullptr;             // stored for the owner, not read here
    void* userData_ = nullptr;
};
