#pragma once
// A progress bar drawn from two skin images, the empty track (id 104) and the blue fill
// (id 103), both stretched between end caps that keep their shape. Shows the position as
// "n%" centred on the bar.

#include "skin/SomBitmap.h"
#include "skin/SomWnd.h"

class CQuilletProgress : public CSomWnd {
public:
    static constexpr UINT kFillImageId = 103;
    static constexpr UINT kTrackImageId = 104;

    CQuilletProgress();

    // Ignored unless minimum < maximum; a new range moves the position to its minimum.
    void SetRange(int minimum, int maximum);
    void SetPos(int position);  // clamped into the range
    void SetCapWidth(int width) { capWidth_ = width; }
    int GetPos() const { return position_; }
    int GetMinimum() const { return minimum_; }
    int GetMaximum() const { return maximum_; }
    // Width of the filled part for the current position: (pos - min) * width / (max - min).
    int FilledWidth() const;

    void OnCreate() override;
    void Draw(HDC hdc, int limitRight, int part) override;

protected:
    void DrawBar(HDC hdc);
    virtual void DrawPercentText(HDC hdc);

    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int capWidth_ = 0;
    CSomBitmap fill_;
    CSomBitmap track_;
};
