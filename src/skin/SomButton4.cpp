#include "skin/SomButton4.h"

#include <algorithm>

#include "skin/SkinResourcesInstance.h"
#include "skin/SkinText.h"

namespace {

constexpr int kIconLabelGap = 5;
constexpr int kAutoSizePadding = 15;

HFONT DefaultFont() { return g_SkinResources.Font(CSkinResources::kDefaultFont); }

}  // namespace

void CSomButton4::SetBackground(CSomBitmap* bitmap) {
    background_ = bitmap;
    UpdateLayout();
}

void CSomButton4::UpdateLayout() {
    int contentWidth = 0;
    if (icon_) contentWidth += icon_->GetFrameWidth();
    if (!label_.empty()) contentWidth += MeasureSkinText(label_, DefaultFont()).cx;
    if (icon_ && !label_.empty()) contentWidth += kIconLabelGap;

    if (!IsAutoSize()) {
        contentX_ = (GetWidth() - contentWidth) / 2;
    } else if (background_) {
        const int width = std::max(contentWidth + kAutoSizePadding, background_->GetFrameWidth());
        SetSize(width, background_->GetHeight());
        contentX_ = (width - contentWidth) / 2;
    } else {
        contentX_ = 0;
    }
    Redraw();
}

void CSomButton4::OnCreate() {
    ModifyStyle(0, kTransparent);
    hover_ = 0;
    pressed_ = 0;
}

int CSomButton4::VisualState() const {
    if (!IsEnabled()) return 3;
    if (hover_ && pressed_) return 2;
    return hover_ ? 1 : 0;
}

void CSomButton4::DrawBackgroundFrame(HDC hdc) {
    if (!background_) return;
    int frame = VisualState();
    if (frame >= background_->GetFrameCount()) frame = 0;
    background_->DrawHStretched(hdc, 0, 0, GetWidth(), frame);
}

void CSomButton4::Draw(HDC hdc, int, int) {
    DrawBackgroundFrame(hdc);
    int x = contentX_;
    if (icon_) {
        icon_->DrawFrame(hdc, x, (GetHeight() - icon_->GetHeight()) / 2, iconFrame_);
        x += icon_->GetFrameWidth() + kIconLabelGap;
    }
    if (!label_.empty()) {
        const int y = (pressed_ && hover_) ? 6 : 5;  // the label sinks while pressed
        DrawSkinText(hdc, x, y, label_, DefaultFont(), IsEnabled() ? 0 : kDisabledTextColour);
    }
}

void CMySomButton4::SetLabelColor(COLORREF colour) {
    labelColour_ = colour;
    UpdateLayout();
}

void CMySomButton4::Draw(HDC hdc, int, int) {
    DrawBackgroundFrame(hdc);
    if (label_.empty()) return;
    HFONT font = labelFont_ ? labelFont_ : DefaultFont();
    const SIZE size = MeasureSkinText(label_, font);
    DrawSkinText(hdc, (GetWidth() - size.cx) / 2, (GetHeight() - size.cy) / 2, label_, font,
                 IsEnabled() ? labelColour_ : kDisabledTextColour);
}
