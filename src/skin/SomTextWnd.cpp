#include "skin/SomTextWnd.h"

#include <shellapi.h>

#include <algorithm>

#include "base/GdiHandles.h"
#include "shell/LinkRules.h"
#include "skin/ISomWndManager.h"
#include "skin/MarkupText.h"
#include "skin/SkinResourcesInstance.h"

namespace {
constexpr UINT kEllipsisFormat = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
}

CSomTextWnd::CSomTextWnd() : font_(g_SkinResources.Font(CSkinResources::kDefaultFont)) {}

void CSomTextWnd::SetText(const wchar_t* markup) {
    const std::wstring text = markup ? markup : L"";
    if (text == source_) return;
    hovered_ = -1;
    if (pressed_ >= 0) {
        if (ISomWndManager* manager = GetManager()) manager->ReleaseMouse(this);
    }
    pressed_ = -1;
    segments_.clear();
    source_ = text;
    for (MarkupSegment& parsed : ParseMarkup(source_)) {
        Segment segment;
        segment.text = std::move(parsed.text);
        segment.rect = {0, 0, 0, 0};
        segment.font = parsed.font >= 0 ? g_SkinResources.Font(parsed.font) : nullptr;
        segment.colour = parsed.colour;
        segment.link = std::move(parsed.link);
        segments_.push_back(std::move(segment));
    }
    RecalcLayout();
    Redraw();
}

void CSomTextWnd::SetPlainText(const std::wstring& text) { SetText(EscapeMarkupText(text)); }

void CSomTextWnd::SetFont(HFONT font) {
    font_ = font;
    RecalcLayout();
}

void CSomTextWnd::SetTextColor(COLORREF colour) {
    if (colour == colour_) return;
    colour_ = colour;
    Redraw();
}

void CSomTextWnd::OnCreate() {
    ModifyStyle(0, kTransparent);
    hovered_ = -1;
    pressed_ = -1;
    RecalcLayout();
}

void CSomTextWnd::RecalcLayout() {
    std::vector<MarkupBox> sizes;
    HDC dc = g_SkinResources.GetScratchDC();
    for (const Segment& segment : segments_) {
        SIZE size = {0, 0};
        if (dc) {
            CSelectObject select(dc, FontOf(segment));
            ::GetTextExtentPoint32W(dc, segment.text.c_str(), int(segment.text.size()), &size);
        }
        MarkupBox box;
        box.right = size.cx;
        box.bottom = size.cy;
        sizes.push_back(box);
    }
    std::vector<MarkupBox> boxes;
    int totalWidth = 0;
    const int tallest = LayoutMarkupLine(sizes, boxes, &totalWidth);
    for (size_t i = 0; i < segments_.size(); ++i) {
        segments_[i].rect = {boxes[i].left, boxes[i].top, boxes[i].right, boxes[i].bottom};
    }
    if (IsAutoSize()) {
        SetSize(maxWidth_ != -1 ? std::min(totalWidth, maxWidth_) : totalWidth, tallest);
    }
}

COLORREF CSomTextWnd::SegmentColour(int index) const {
    const Segment& segment = segments_[index];
    if (index == hovered_) return linkHoverColour_;
    if (!segment.link.empty()) {
        return segment.colour < 0 ? linkColour_ : COLORREF(segment.colour) & 0xFFFFFF;
    }
    return segment.colour < 0 ? colour_ : COLORREF(segment.colour) & 0xFFFFFF;
}

void CSomTextWnd::DrawSegment(HDC hdc, int index, int limit) {
    const Segment& segment = segments_[index];
    RECT rect = segment.rect;
    if (limit != -1 && rect.left >= limit) return;
    CSelectObject select(hdc, FontOf(segment));
    ::SetTextColor(hdc, SegmentColour(index));
    if (limit != -1 && rect.right > limit) {
        rect.right = limit;
        ::DrawTextW(hdc, segment.text.c_str(), int(segment.text.size()), &rect, kEllipsisFormat);
    } else {
        ::TextOutW(hdc, rect.left, rect.top, segment.text.c_str(), int(segment.text.size()));
    }
}

void CSomTextWnd::Draw(HDC hdc, int limitRight, int part) {
    CTextStyle style(hdc, TRANSPARENT);
    const int limit = limitRight != -1 ? limitRight : maxWidth_;
    if (part != 0) {
        if (part - 1 < int(segments_.size())) DrawSegment(hdc, part - 1, limit);
        return;
    }
    RECT clip;
    ::GetClipBox(hdc, &clip);
    for (int i = 0; i < int(segments_.size()); ++i) {
        RECT overlap;
        if (::IntersectRect(&overlap, &segments_[i].rect, &clip)) DrawSegment(hdc, i, limit);
    }
}

int CSomTextWnd::HitSegment(POINT point) const {
    for (int i = 0; i < int(segments_.size()); ++i) {
        if (::PtInRect(&segments_[i].rect, point)) return i;
    }
    return -1;
}

void CSomTextWnd::RedrawSegment(int index) {
    if (index < 0 || index >= int(segments_.size())) return;
    // Only that run's rectangle: the rest of the label keeps what it shows.
    Redraw(&segments_[index].rect, index + 1);
}

BOOL CSomTextWnd::OnSetCursor(POINT point) {
    if (!IsLink(HitSegment(point))) return FALSE;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

BOOL CSomTextWnd::OnMouseMove(POINT point) {
    const int hit = HitSegment(point);
    if (hit < 0) return FALSE;
    const int previous = hovered_;
    if (IsLink(hit)) {
        if (hit == hovered_) return FALSE;
        hovered_ = hit;
        RedrawSegment(hit);
    } else {
        hovered_ = -1;
    }
    RedrawSegment(previous);
    return FALSE;
}

void CSomTextWnd::OnMouseLeave() {
    const int previous = hovered_;
    hovered_ = -1;
    RedrawSegment(previous);
}

BOOL CSomTextWnd::OnLButtonDown(POINT point) {
    const int hit = HitSegment(point);
    const int previous = pressed_;
    if (IsLink(hit)) {
        if (hit != pressed_) {
            pressed_ = hit;
            RedrawSegment(hit);
            if (ISomWndManager* manager = GetManager()) manager->CaptureMouse(this);
            RedrawSegment(previous);
        }
    } else if (hit >= 0) {
        pressed_ = -1;
        RedrawSegment(previous);
    }
    return pressed_ >= 0;
}

BOOL CSomTextWnd::OnLButtonUp(POINT) {
    if (pressed_ < 0) return FALSE;
    if (ISomWndManager* manager = GetManager()) manager->ReleaseMouse(this);
    return TRUE;
}

void CSomTextWnd::OnCaptureLost() {
    if (pressed_ < 0) return;
    const int previous = pressed_;
    pressed_ = -1;
    RedrawSegment(previous);
    if (IsLink(hovered_)) ActivateLink(segments_[hovered_].link);
}

void CSomTextWnd::ActivateLink(const std::wstring& target) {
    uint16_t id = 0;
    if (ParseButtonTarget(target, &id)) {
        if (ISomWndManager* manager = GetManager()) manager->SendHostCommand(this, 0, id);
        return;
    }
    // A tampered document must not be able to start a program through a label.
    if (!IsOpenableLink(target)) return;
    ShellOpen(target);
}

void CSomTextWnd::ShellOpen(const std::wstring& target) {
    ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
