#pragma once
// A push button drawn from a frame strip (frame 0 normal, 1 hover, 2 pressed, 3 disabled),
// with an optional icon and label. A completed click (pressed and released over the button)
// reaches the host as WM_COMMAND with the button's id; releasing outside cancels it.
//
// Set the label and icon, then call UpdateLayout(); SetBackground lays out by itself. A
// strip without a disabled frame shows its normal frame when disabled (the label greys).

#include <string>

#include "skin/SomBitmap.h"
#include "skin/SomPressable.h"

class CSomButton4 : public CSomPressable {
public:
    static constexpr COLORREF kDisabledTextColour = 0x666666;

    CSomButton4() = default;

    void SetBackground(CSomBitmap* bitmap);  // not owned
    void SetLabel(const std::wstring& label) { label_ = label; }
    void SetIcon(CSomBitmap* icon, int frame) {  // not owned
        icon_ = icon;
        iconFrame_ = frame;
    }
    const std::wstring& GetLabel() const { return label_; }
    CSomBitmap* GetBackground() const { return background_; }
    // Centres icon and label; an auto-size button takes max(content + 15, strip frame) x
    // strip height.
    virtual void UpdateLayout();

    int GetContentX() const { return contentX_; }

    void OnCreate() override;
    void Draw(HDC hdc, int limitRight, int part) override;

protected:
    // 3 disabled, 2 pressed over the button, 1 hover, 0 otherwise.
    int VisualState() const;
    void DrawBackgroundFrame(HDC hdc);

    std::wstring label_;
    CSomBitmap* icon_ = nullptr;
    int iconFrame_ = 0;
    CSomBitmap* background_ = nullptr;
    int contentX_ = 0;
};

// The same button with its label centred both ways, in a colour and font of its own.
class CMySomButton4 : public CSomButton4 {
public:
    CMySomButton4() = default;

    void SetLabelColor(COLORREF colour);
    void SetLabelFont(HFONT font) { labelFont_ = font; }  // not owned; null = default font

    void Draw(HDC hdc, int limitRight, int part) override;

private:
    COLORREF labelColour_ = 0;
    HFONT labelFont_ = nullptr;
};
