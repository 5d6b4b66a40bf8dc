#include "skin/SomCheckBox.h"

#include <algorithm>

#include "skin/SkinResourcesInstance.h"
#include "skin/SkinText.h"

namespace {

constexpr int kLabelGap = 5;
constexpr int kMixedFrame = 8;

HFONT LabelFont() { return g_SkinResources.Font(CSkinResources::kDefaultFont); }

}  // namespace

CSomCheckBox::CSomCheckBox(CSomBitmap* boxImage, BOOL radio) : radio_(radio), box_(boxImage) {}

void CSomCheckBox::SetCheck(BOOL value) {
    if (value == checked_ && !mixed_) return;
    mixed_ = 0;
    checked_ = value;
    Redraw();
}

void CSomCheckBox::UpdateLayout() {
    int width = box_ ? box_->GetFrameWidth() : 0;
    int height = box_ ? box_->GetHeight() : 0;
    if (!label_.empty()) {
        const SIZE text = MeasureSkinText(label_, LabelFont());
        width += text.cx + kLabelGap;
        height = std::max<int>(text.cy, height);
        ModifyStyle(0, kTransparent);
    } else {
        ModifyStyle(kTransparent, 0);
    }
    if (IsAutoSize()) SetSize(width, height);
    Redraw();
}

void CSomCheckBox::OnCreate() {
    hover_ = 0;
    checked_ = 0;
    pressed_ = 0;
    UpdateLayout();
}

int CSomCheckBox::CurrentFrame() const {
    if (mixed_ && !radio_) return kMixedFrame;
    if (!IsEnabled()) return checked_ ? 7 : 3;
    if (hover_) {
        if (pressed_) return checked_ ? 6 : 2;
        return checked_ ? 5 : 1;
    }
    return checked_ ? 4 : 0;
}

void CSomCheckBox::Draw(HDC hdc, int, int) {
    if (!box_) return;
    if (label_.empty()) {
        box_->DrawFrame(hdc, 0, 0, CurrentFrame());
        return;
    }
    DrawSkinText(hdc, box_->GetFrameWidth() + kLabelGap, 0, label_, LabelFont(),
                 ::GetTextColor(hdc));
    box_->DrawFrame(hdc, 0, 1, CurrentFrame());
}

void CSomCheckBox::OnClicked() {
    if (radio_) {
        checked_ = 1;
    } else if (mixed_) {
        checked_ = 1;
        mixed_ = 0;
    } else {
        checked_ = !checked_;
    }
}
