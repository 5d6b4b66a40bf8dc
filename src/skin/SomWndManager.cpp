#include "skin/SomWndManager.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "base/GdiHandles.h"
#include "skin/SomWnd.h"

namespace {

// Mouse points arrive as two unsigned 16-bit halves (x low, y high).
POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
}

POINT ToLocal(const CSomWnd* element, POINT point) {
    return POINT{point.x - element->Rect().left, point.y - element->Rect().top};
}

BOOL CallMouseHandler(CSomWnd* element, UINT msg, POINT local) {
    switch (msg) {
        case WM_MOUSEMOVE:
            return element->OnMouseMove(local);
        case WM_LBUTTONDOWN:
            return element->OnLButtonDown(local);
        case WM_LBUTTONUP:
            return element->OnLButtonUp(local);
        case WM_LBUTTONDBLCLK:
            return element->OnLButtonDblClk(local);
        default:
            return FALSE;
    }
}

}  // namespace

BOOL CSomWndManager::ProcessMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result, DWORD mapId) {
    if (mapId != 0) return FALSE;
    if (!host_ && msg != WM_NCDESTROY) Attach(hwnd);

    switch (msg) {
        case WM_NOTIFY:
            return OnToolTipNotify(lParam, result);
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return OnMouseMessage(msg, lParam, result);
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_PAINT:
        case WM_PRINTCLIENT:
            result = 0;
            return OnPaint(wParam);
        case WM_SETCURSOR:
            return OnSetCursor(result);
        case WM_TIMER:
            return OnTimer(wParam, result);
        case WM_CAPTURECHANGED:
            return OnCaptureChanged();
        case WM_SETREDRAW:
            redrawEnabled_ = static_cast<BOOL>(wParam);
            return FALSE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

void CSomWndManager::Attach(HWND hwnd) {
    host_ = hwnd;
    AttachToolTipControl(nullptr, hwnd);
    ::SetTimer(hwnd, kTimerId, kTimerPeriodMs, nullptr);
}

void CSomWndManager::Reset() {
    redrawEnabled_ = TRUE;
    immediateDraw_ = TRUE;
    host_ = nullptr;
    captured_ = nullptr;
    hovered_ = nullptr;
    elements_.clear();
    ClearTools();
}

CSomWnd* CSomWndManager::HitTest(POINT point) const {
    for (CSomWnd* element : elements_) {
        if (element->IsVisible() && element->IsEnabled() && ::PtInRect(&element->Rect(), point)) {
            return element;
        }
    }
    return nullptr;
}

BOOL CSomWndManager::OnToolTipNotify(LPARAM lParam, LRESULT& result) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->code != TTN_GETDISPINFOW) return FALSE;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    if (info->uFlags & TTF_IDISHWND) return FALSE;
    CSomWnd* element = nullptr;
    UINT toolKey = 0;
    if (FindTool(static_cast<UINT>(header->idFrom), &element, &toolKey, nullptr)) {
        element->OnGetToolTipText(toolKey, info);
    }
    result = 0;
    return TRUE;
}

BOOL CSomWndManager::OnMouseMessage(UINT msg, LPARAM lParam, LRESULT& result) {
    POINT point = PointFromLParam(lParam);
    if (CSomWnd* element = captured_) {
        // The captured element gets every mouse message; hover still follows its rectangle
        // so that releasing outside it can cancel a click. Every message says where the
        // pointer is: a release can come with no move before it.
        UpdateHover(::PtInRect(&element->Rect(), point) ? element : nullptr, point);
        result = CallMouseHandler(element, msg, ToLocal(element, point));
        return TRUE;
    }

    CSomWnd* hit = HitTest(point);
    if (msg != WM_MOUSEMOVE) {
        if (!hit) return FALSE;
        // A press can come with no mouse move before it (a window that appeared under a
        // still pointer, a move the system dropped): it still shows where the pointer is,
        // and a button counts its click only while hovered.
        UpdateHover(hit, point);
        BOOL handled = CallMouseHandler(hit, msg, ToLocal(hit, point));
        result = 0;
        return handled;
    }
    UpdateHover(hit, point);
    if (!hit) {
        result = 0;
        return TRUE;  // nothing under the mouse: no default processing
    }
    hit->OnMouseMove(ToLocal(hit, point));
    return FALSE;
}

void CSomWndManager::UpdateHover(CSomWnd* hit, POINT point) {
    if (hit == hovered_) return;
    CSomWnd* previous = hovered_;
    if (previous) previous->OnMouseLeave();
    hovered_ = hit;
    if (hit) hit->OnMouseEnter(ToLocal(hit, point));
}

BOOL CSomWndManager::OnPaint(WPARAM wParam) {
    if (HDC dc = reinterpret_cast<HDC>(wParam)) {
        // The caller's DC: leave its clipping region as it was.
        int saved = ::SaveDC(dc);
        RECT box;
        ::GetClipBox(dc, &box);
        DrawElements(dc, box);
        DrawBackground(dc, &box);
        ::RestoreDC(dc, saved);
        return TRUE;
    }
    CPaintDC paint(host_);
    if (paint) {
        // Each element removes its rectangle from the clip, so the background fills only
        // what no element covers.
        DrawElements(paint.Get(), paint.PaintRect());
        DrawBackground(paint.Get(), &paint.PaintRect());
    }
    return TRUE;
}

BOOL CSomWndManager::OnSetCursor(LRESULT& result) {
    POINT point;
    ::GetCursorPos(&point);
    ::ScreenToClient(host_, &point);
    CSomWnd* element = captured_ ? captured_ : HitTest(point);
    if (!element) return FALSE;
    BOOL handled = element->OnSetCursor(ToLocal(element, point));
    result = handled;
    return handled;
}

BOOL CSomWndManager::OnTimer(WPARAM wParam, LRESULT& result) {
    if (wParam != kTimerId) return FALSE;
    if (hovered_ && !captured_) {
        // The mouse may leave the window without a further mouse message.
        POINT cursor;
        ::GetCursorPos(&cursor);
        RECT client;
        ::GetClientRect(host_, &client);
        ::MapWindowPoints(host_, nullptr, reinterpret_cast<POINT*>(&client), 2);
        if (!::PtInRect(&client, cursor) || ::WindowFromPoint(cursor) != host_) {
            CSomWnd* previous = hovered_;
            previous->OnMouseLeave();
            hovered_ = nullptr;
        }
    }
    for (size_t i = 0; i < elements_.size(); ++i) elements_[i]->OnTimer();
    result = 1;
    return TRUE;
}

BOOL CSomWndManager::OnCaptureChanged() {
    CSomWnd* element = captured_;
    if (!element) return FALSE;
    element->OnCaptureLost();
    if (captured_ == element) captured_ = nullptr;
    return TRUE;
}

void CSomWndManager::OnDestroy() {
    if (host_) ::KillTimer(host_, kTimerId);
    if (CSomWnd* element = hovered_) {
        hovered_ = nullptr;
        element->OnMouseLeave();
    }
    if (CSomWnd* element = captured_) {
        captured_ = nullptr;
        element->OnCaptureLost();
    }
    std::vector<CSomWnd*> elements;
    elements.swap(elements_);
    for (CSomWnd* element : elements) {
        element->OnDestroy();
        element->Detach();
    }
    Reset();
}

void CSomWndManager::AddElement(CSomWnd* element) {
    if (element && std::find(elements_.begin(), elements_.end(), element) == elements_.end()) {
        elements_.push_back(element);
    }
}

void CSomWndManager::RemoveElement(CSomWnd* element) {
    if (!element) return;
    if (element == captured_) {
        ReleaseMouse(element);
        if (captured_ == element) {
            captured_ = nullptr;
            element->OnCaptureLost();
        }
    }
    if (element == hovered_) {
        hovered_ = nullptr;
        element->OnMouseLeave();
    }
    elements_.erase(std::remove(elements_.begin(), elements_.end(), element), elements_.end());
    RemoveTools(element);
}

void CSomWndManager::CaptureMouse(CSomWnd* element) {
    if (CSomWnd* previous = captured_; previous && previous != element) {
        captured_ = nullptr;
        previous->OnCaptureLost();
    }
    captured_ = element;
    if (host_ && ::GetCapture() != host_) ::SetCapture(host_);
}

void CSomWndManager::ReleaseMouse(CSomWnd* element) {
    if (!element || element != captured_) return;
    if (::GetCapture() == host_) ::ReleaseCapture();  // WM_CAPTURECHANGED completes it
    if (captured_ == element) {
        // The window had lost the capture already: no WM_CAPTURECHANGED will come.
        captured_ = nullptr;
        element->OnCaptureLost();
    }
}

LRESULT CSomWndManager::SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return host_ ? ::SendMessageW(host_, msg, wParam, lParam) : 0;
}

LRESULT CSomWndManager::SendHostCommand(CSomWnd* element, WORD notifyCode, WORD id) {
    return SendHostMessage(WM_COMMAND, MAKEWPARAM(id, notifyCode),
                           reinterpret_cast<LPARAM>(element));
}

BOOL CSomWndManager::PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return host_ ? ::PostMessageW(host_, msg, wParam, lParam) : FALSE;
}

void CSomWndManager::InvalidateHostRect(const RECT& rect) {
    if (host_) ::InvalidateRect(host_, &rect, FALSE);
}

void CSomWndManager::ApplyNewRect(CSomWnd* element, const RECT& rect) {
    const RECT old = element->Rect();
    if (::EqualRect(&old, &rect)) return;
    BOOL visible = element->IsVisible();
    if (visible) InvalidateHostRect(old);
    element->StoreRect(rect);
    if (rect.left != old.left || rect.top != old.top) element->OnMove(rect.left, rect.top);
    if (rect.right - rect.left != old.right - old.left ||
        rect.bottom - rect.top != old.bottom - old.top) {
        element->OnSize(rect.right - rect.left, rect.bottom - rect.top);
    }
    if (visible) {
        InvalidateHostRect(element->Rect());
        if (immediateDraw_ && host_) ::UpdateWindow(host_);
    }
}

void CSomWndManager::SetElementRect(CSomWnd* element, int x, int y, int cx, int cy) {
    if (element) ApplyNewRect(element, RECT{x, y, x + cx, y + cy});
}

void CSomWndManager::SetElementSize(CSomWnd* element, int cx, int cy) {
    if (!element) return;
    const RECT& r = element->Rect();
    ApplyNewRect(element, RECT{r.left, r.top, r.left + cx, r.top + cy});
}

void CSomWndManager::SetElementPos(CSomWnd* element, int x, int y) {
    if (!element) return;
    ApplyNewRect(element, RECT{x, y, x + element->GetWidth(), y + element->GetHeight()});
}

void CSomWndManager::RedrawElement(CSomWnd* element, const RECT* subRect, BOOL forceBackground,
                                   int part) {
    if (!redrawEnabled_ || !host_ || !element) return;
    BOOL visible = element->IsVisible();
    BOOL background = visible ? element->IsTransparent() : forceBackground;
    if (!visible && !background) return;
    RECT area = element->Rect();
    if (subRect) {
        RECT shifted = *subRect;
        ::OffsetRect(&shifted, element->Rect().left, element->Rect().top);
        if (!::IntersectRect(&area, &shifted, &element->Rect())) return;
    }
    if (!immediateDraw_) {
        ::InvalidateRect(host_, &area, FALSE);
        return;
    }
    CClientDC dc(host_);
    if (!dc) return;
    ::IntersectClipRect(dc.Get(), area.left, area.top, area.right, area.bottom);
    // Elements above this one keep covering it, as they do in a full repaint.
    for (CSomWnd* above : elements_) {
        if (above == element) break;
        if (above->IsVisible()) {
            const RECT& r = above->Rect();
            ::ExcludeClipRect(dc.Get(), r.left, r.top, r.right, r.bottom);
        }
    }
    DrawElement(dc.Get(), element, visible, background, FALSE, part);
}

UINT CSomWndManager::AddToolTip(CSomWnd* element, UINT toolKey, const RECT* rect) {
    return element ? AddTool(element, toolKey, rect) : 0;
}

void CSomWndManager::RemoveToolTips(CSomWnd* element) { RemoveTools(element); }

void CSomWndManager::BeginDeferredDraw() { immediateDraw_ = FALSE; }

void CSomWndManager::EndDeferredDraw() {
    immediateDraw_ = TRUE;
    if (redrawEnabled_ && host_) ::UpdateWindow(host_);
}

void CSomWndManager::DrawBackground(HDC hdc, const RECT* rect) {
    if (!host_) return;
    auto brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(host_, GCLP_HBRBACKGROUND));
    if (!brush) return;
    RECT area;
    if (rect) {
        area = *rect;
    } else {
        ::GetClipBox(hdc, &area);
    }
    ::FillRect(hdc, &area, brush);
}

void CSomWndManager::DrawElements(HDC hdc, const RECT& rect) {
    for (size_t i = 0; i < elements_.size(); ++i) {
        CSomWnd* element = elements_[i];
        RECT overlap;
        if (element->IsVisible() && ::IntersectRect(&overlap, &element->Rect(), &rect)) {
            DrawElement(hdc, element, TRUE, element->IsTransparent(), TRUE, 0);
        }
    }
}

void CSomWndManager::DrawElement(HDC hdc, CSomWnd* element, BOOL draw, BOOL background,
                                 BOOL exclude, int part) {
    const RECT rect = element->Rect();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    CMemoryDC scratch;
    CBitmapHandle scratchBitmap;
    std::unique_ptr<CSelectObject> selection;
    HDC target = hdc;
    if (background) {
        if (draw && width <= kScratchWidth && height <= kScratchHeight && scratch) {
            CClientDC screen(nullptr);
            scratchBitmap.Reset(
                ::CreateCompatibleBitmap(screen.Get(), kScratchWidth, kScratchHeight));
            if (scratchBitmap) {
                selection = std::make_unique<CSelectObject>(scratch.Get(), scratchBitmap.Get());
                target = scratch.Get();
                ::SetViewportOrgEx(target, -rect.left, -rect.top, nullptr);
            }
        }
        DrawBackground(target, &rect);
    }
    if (draw) {
        if (target == hdc) {
            POINT origin;
            ::OffsetViewportOrgEx(hdc, rect.left, rect.top, &origin);
            element->Draw(hdc, -1, part);
            ::SetViewportOrgEx(hdc, origin.x, origin.y, nullptr);
        } else {
            ::SetViewportOrgEx(target, 0, 0, nullptr);
            element->Draw(target, -1, part);
            ::BitBlt(hdc, rect.left, rect.top, width, height, target, 0, 0, SRCCOPY);
        }
    }
    if (exclude) ::ExcludeClipRect(hdc, rect.left, rect.top, rect.right, rect.bottom);
}
