#include "skin/QuilletProgress.h"

#include <cwchar>

#include "skin/SkinResourcesInstance.h"
#include "skin/SkinText.h"

namespace {
constexpr COLORREF kTextColour = 0xFFFFFF;
}

CQuilletProgress::CQuilletProgress()
    : fill_(kFillImageId, 1, CSomBitmap::kKindPng),
      track_(kTrackImageId, 1, CSomBitmap::kKindPng) {}

void CQuilletProgress::SetRange(int minimum, int maximum) {
    if (minimum >= maximum) return;
    if (minimum == minimum_ && maximum == maximum_) return;
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = minimum;
    Redraw();
}

void CQuilletProgress::SetPos(int position) {
    if (position < minimum_) position = minimum_;
    if (position > maximum_) position = maximum_;
    if (position == position_) return;
    position_ = position;
    Redraw();
}

int CQuilletProgress::FilledWidth() const {
    const long long span = static_cast<long long>(maximum_) - minimum_;
    if (span <= 0) return 0;
    return static_cast<int>((static_cast<long long>(position_) - minimum_) * GetWidth() / span);
}

void CQuilletProgress::OnCreate() {
    minimum_ = 0;
    maximum_ = 100;
    position_ = 0;
    if (IsAutoSize()) SetSize(GetWidth(), fill_.GetHeight());
    ModifyStyle(kTransparent, fill_.HasAlpha() ? DWORD(kTransparent) : 0u);
}

void CQuilletProgress::DrawBar(HDC hdc) {
    const int width = GetWidth();
    const int cap = capWidth_;

    const int trackWidth = track_.GetFrameWidth();
    const int trackHeight = track_.GetHeight();
    track_.DrawFramePart(hdc, 0, 0, cap, trackHeight, 0, 0, 0);
    track_.DrawFramePartStretched(hdc, cap, 0, width - 2 * cap, trackHeight, cap, 0,
                                  trackWidth - 2 * cap, trackHeight, 0);
    track_.DrawFramePart(hdc, width - cap, 0, cap, trackHeight, trackWidth - cap, 0, 0);

    const int filled = FilledWidth();
    const int fillWidth = fill_.GetFrameWidth();
    const int fillHeight = fill_.GetHeight();
    if (filled < cap) {
        fill_.DrawFramePart(hdc, 0, 0, filled, fillHeight, 0, 0, 0);
        return;
    }
    fill_.DrawFramePart(hdc, 0, 0, cap, fillHeight, 0, 0, 0);
    if (filled - 2 * cap <= 0) {
        fill_.DrawFramePart(hdc, cap, 0, cap, fillHeight, fillWidth - cap, 0, 0);
    } else {
        // One column of the fill stretched: the fill's middle is uniform along the bar.
        fill_.DrawFramePartStretched(hdc, cap, 0, filled - 2 * cap, fillHeight, cap, 0, 1,
                                     fillHeight, 0);
        fill_.DrawFramePart(hdc, filled - cap, 0, cap, fillHeight, fillWidth - cap, 0, 0);
    }
}

void CQuilletProgress::DrawPercentText(HDC hdc) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d%%", position_);
    DrawSkinText(hdc, GetWidth() / 2 - 10, 0, text, g_SkinResources.Font(0), kTextColour);
}

void CQuilletProgress::Draw(HDC hdc, int, int) {
    DrawBar(hdc);
    DrawPercentText(hdc);
}
