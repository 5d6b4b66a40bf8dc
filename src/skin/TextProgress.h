#pragma once
// The download window's progress bar: the bar of CQuilletProgress with a label at the left
// and the percentage at the right, in a 12-pixel "宋体" of its own.

#include <string>

#include "base/GdiHandles.h"
#include "skin/QuilletProgress.h"

class CTextProgress : public CQuilletProgress {
public:
    CTextProgress();

    void SetLabel(const std::wstring& label);
    const std::wstring& GetLabel() const { return label_; }

protected:
    void DrawPercentText(HDC hdc) override;

private:
    std::wstring label_;
    // "宋体" 12; "宋体" 13 underlined; "宋体" 12 bold underlined; the UI face 13 bold.
    // Only the first is drawn with.
    CFontHandle fonts_[4];
};
