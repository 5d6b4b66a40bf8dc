#include "skin/SomWnd.h"

#include "skin/ISomWndManager.h"

CSomWnd::~CSomWnd() {
    if (manager_) manager_->RemoveElement(this);
}

void CSomWnd::Create(ISomWndManager* manager, void* parent, void* userData, int x, int y, int cx,
                     int cy, UINT id, DWORD style) {
    manager_ = manager;
    parent_ = parent;
    userData_ = userData;
    id_ = id;
    style_ = style;
    rect_ = {x, y, x + cx, y + cy};
    if (manager_) manager_->AddElement(this);
    OnCreate();
    OnMove(x, y);
    OnSize(cx, cy);
}

void CSomWnd::Create(ISomWndManager* manager, UINT id, DWORD style) {
    Create(manager, nullptr, nullptr, 0, 0, 0, 0, id, style);
}

void CSomWnd::Create(ISomWndManager* manager, int x, int y, UINT id, DWORD style) {
    Create(manager, nullptr, nullptr, x, y, 0, 0, id, style);
}

BOOL CSomWnd::Show(BOOL show) {
    BOOL previous = IsVisible();
    if (!previous != !show) {
        ModifyStyle(kVisible, show ? DWORD(kVisible) : 0u);
        if (manager_) manager_->RedrawElement(this, nullptr, TRUE, 0);
    }
    return previous;
}

BOOL CSomWnd::Enable(BOOL enable) {
    BOOL previous = IsEnabled();
    if (!previous != !enable) {
        ModifyStyle(kDisabled, enable ? 0u : DWORD(kDisabled));
        if (manager_) manager_->RedrawElement(this, nullptr, FALSE, 0);
    }
    return previous;
}

// Without a manager (before Create) the rectangle is simply stored.
void CSomWnd::SetRect(int x, int y, int cx, int cy) {
    if (manager_) {
        manager_->SetElementRect(this, x, y, cx, cy);
    } else {
        rect_ = {x, y, x + cx, y + cy};
    }
}

void CSomWnd::SetSize(int cx, int cy) {
    if (manager_) {
        manager_->SetElementSize(this, cx, cy);
    } else {
        rect_.right = rect_.left + cx;
        rect_.bottom = rect_.top + cy;
    }
}

void CSomWnd::SetPos(int x, int y) {
    if (manager_) {
        manager_->SetElementPos(this, x, y);
    } else {
        ::OffsetRect(&rect_, x - rect_.left, y - rect_.top);
    }
}

void CSomWnd::Redraw(const RECT* subRect, int part) {
    if (manager_) manager_->RedrawElement(this, subRect, FALSE, part);
}

void CSomWnd::Detach() {
    style_ = 0;
    id_ = 0;
    rect_ = {0, 0, 0, 0};
    manager_ = nullptr;
    parent_ = nullptr;
    userData_ = nullptr;
}
