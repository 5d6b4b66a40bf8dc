#pragma once
// The element manager: a base class of every skinned host window. It lists the host's
// windowless elements (index 0 is the top-most), routes mouse, cursor, paint, timer and
// capture messages to them, keeps capture and hover, and repaints them.
//
// A host derives from its window class first and from CSomWndManager second, and chains
// the manager as the last entry of its message map:
//
//   BEGIN_MSG_MAP(CMyDlg)
//       MESSAGE_HANDLER(WM_CREATE, OnCreate)
//       CHAIN_PROCESS_MESSAGE(static_cast<CSomWndManager&>(*this))
//   END_MSG_MAP()
//
// Elements are created with the host's manager part (static_cast<ISomWndManager*>(this)).
// Hosts override DrawBackground to paint their skin under the elements.

#include <windows.h>

#include <vector>

#include "skin/ISomWndManager.h"
#include "skin/SomToolTipAdpater.h"

class CSomWnd;

class CSomWndManager : public ISomWndManager, public CSomToolTipAdpater {
public:
    static constexpr UINT_PTR kTimerId = 54321;
    static constexpr UINT kTimerPeriodMs = 100;
    // Transparent elements up to this size are composed off-screen and copied in one blit.
    static constexpr int kScratchWidth = 1024;
    static constexpr int kScratchHeight = 128;

    CSomWndManager() = default;
    CSomWndManager(const CSomWndManager&) = delete;
    CSomWndManager& operator=(const CSomWndManager&) = delete;
    virtual ~CSomWndManager() = default;

    // Returns non-zero when the message was handled (result then holds its result). Only
    // message map 0 is handled.
    BOOL ProcessMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result,
                        DWORD mapId);

    // ISomWndManager
    void AddElement(CSomWnd* element) override;
    void RemoveElement(CSomWnd* element) override;
    void CaptureMouse(CSomWnd* element) override;
    void ReleaseMouse(CSomWnd* element) override;
    LRESULT SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendHostCommand(CSomWnd* element, WORD notifyCode, WORD id) override;
    BOOL PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void SetElementRect(CSomWnd* element, int x, int y, int cx, int cy) override;
    void SetElementSize(CSomWnd* element, int cx, int cy) override;
    void SetElementPos(CSomWnd* element, int x, int y) override;
    void RedrawElement(CSomWnd* element, const RECT* subRect, BOOL forceBackground,
                       int part) override;
    UINT AddToolTip(CSomWnd* element, UINT toolKey, const RECT* rect) override;
    void RemoveToolTips(CSomWnd* element) override;
    void BeginDeferredDraw() override;
    void EndDeferredDraw() override;
    void DrawBackground(HDC hdc, const RECT* rect) override;
    void DrawElements(HDC hdc, const RECT& rect) override;

    HWND GetHostWindow() const { return host_; }
    CSomWnd* GetCapturedElement() const { return captured_; }
    CSomWnd* GetHoveredElement() const { return hovered_; }
    const std::vector<CSomWnd*>& GetElements() const { return elements_; }

protected:
    // Draws one element at its place in hdc: background first when asked (composed
    // off-screen for elements up to the scratch size), then the element; then removes its
    // rectangle from hdc's clipping region when `exclude` is set.
    void DrawElement(HDC hdc, CSomWnd* element, BOOL draw, BOOL background, BOOL exclude, int part);

private:
    void Attach(HWND hwnd);
    void Reset();
    CSomWnd* HitTest(POINT point) const;
    BOOL OnToolTipNotify(LPARAM lParam, LRESULT& result);
    BOOL OnMouseMessage(UINT msg, LPARAM lParam, LRESULT& result);
    // Leave and enter when the element under the mouse has changed.
    void UpdateHover(CSomWnd* hit, POINT point);
    BOOL OnPaint(WPARAM wParam);
    BOOL OnSetCursor(LRESULT& result);
    BOOL OnTimer(WPARAM wParam, LRESULT& result);
    BOOL OnCaptureChanged();
    void OnDestroy();
    void InvalidateHostRect(const RECT& rect);
    void ApplyNewRect(CSomWnd* element, const RECT& rect);

    BOOL redrawEnabled_ = TRUE;
    BOOL immediateDraw_ = TRUE;
    HWND host_ = nullptr;
    std::vector<CSomWnd*> elements_;  // not owned
    CSomWnd* captured_ = nullptr;
    CSomWnd* hovered_ = nullptr;
};
