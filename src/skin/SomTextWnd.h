#pragma once
// The skin's label: one line of runs with their own font and colour, some of them links,
// given as a markup string (grammar in MarkupText.h). A link fires when the button is
// released over a link of the same label: "button:N" sends WM_COMMAND N to the host, a web
// link or registered protocol opens with the shell. Targets that name a local or network
// file (drive or UNC paths, file: URLs, bare program names) are never opened.
//
// Text from the configuration document or a page goes in literally only through
// EscapeMarkupText (or SetPlainText for a label that shows nothing else).

#include <cstdint>
#include <string>
#include <vector>

#include "skin/SomWnd.h"

class CSomTextWnd : public CSomWnd {
public:
    static constexpr COLORREF kDefaultLinkColour = 0x984E00;
    static constexpr COLORREF kDefaultLinkHoverColour = 0xDA7003;

    struct Segment {
        std::wstring text;
        RECT rect;       // element-local
        HFONT font;      // null = the label's default font
        int32_t colour;  // negative = the label's default for its kind
        std::wstring link;
    };

    CSomTextWnd();

    // Nothing happens when the markup equals the current one. Null counts as empty.
    void SetText(const wchar_t* markup);
    void SetText(const std::wstring& markup) { SetText(markup.c_str()); }
    // Shows `text` exactly as it is, whatever braces it holds.
    void SetPlainText(const std::wstring& text);
    const std::wstring& GetText() const { return source_; }
    void SetFont(HFONT font);
    void SetTextColor(COLORREF colour);
    void SetLinkColors(COLORREF normal, COLORREF hover) {
        linkColour_ = normal;
        linkHoverColour_ = hover;
    }
    // Clip limit and auto-size limit; -1 = none.
    void SetMaxWidth(int width) { maxWidth_ = width; }
    int GetMaxWidth() const { return maxWidth_; }

    const std::vector<Segment>& GetSegments() const { return segments_; }
    int GetHoveredSegment() const { return hovered_; }
    int GetPressedSegment() const { return pressed_; }
    // The colour a segment is drawn in now.
    COLORREF SegmentColour(int index) const;

    void OnCreate() override;
    void Draw(HDC hdc, int limitRight, int part) override;
    void OnCaptureLost() override;
    BOOL OnSetCursor(POINT point) override;
    BOOL OnLButtonDown(POINT point) override;
    BOOL OnLButtonUp(POINT point) override;
    BOOL OnLButtonDblClk(POINT point) override { return OnLButtonDown(point); }
    BOOL OnMouseMove(POINT point) override;
    void OnMouseLeave() override;
    void RecalcLayout() override;

protected:
    // Hands a link that passed the rules to the shell (ShellExecuteW "open").
    virtual void ShellOpen(const std::wstring& target);

private:
    int HitSegment(POINT point) const;
    bool IsLink(int index) const {
        return index >= 0 && index < int(segments_.size()) && !segments_[index].link.empty();
    }
    void RedrawSegment(int index);
    void DrawSegment(HDC hdc, int index, int limit);
    void ActivateLink(const std::wstring& target);
    HFONT FontOf(const Segment& segment) const { return segment.font ? segment.font : font_; }

    std::wstring source_;
    std::vector<Segment> segments_;
    HFONT font_;  // not owned
    COLORREF colour_ = 0;
    COLORREF linkColour_ = kDefaultLinkColour;
    COLORREF linkHoverColour_ = kDefaultLinkHoverColour;
    int maxWidth_ = -1;
    int hovered_ = -1;
    int pressed_ = -1;
};
