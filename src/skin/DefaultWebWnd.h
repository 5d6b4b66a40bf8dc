#pragma once
// The default page: a plain skinned child window that shows the built-in picture (PNG 123)
// stretched over its client area, in place of the web page when there is no page to show
// or the page failed to load.

#include "shell/Window.h"
#include "skin/SomBitmap.h"
#include "skin/SomWndManager.h"

class CDefaultWebWnd : public CWindowImpl<CDefaultWebWnd>, public CSomWndManager {
public:
    static constexpr UINT kPictureId = 123;

    CDefaultWebWnd();

    BEGIN_MSG_MAP(CDefaultWebWnd)
    MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    CHAIN_PROCESS_MESSAGE(static_cast<CSomWndManager&>(*this))
    END_MSG_MAP()

    void DrawBackground(HDC hdc, const RECT* rect) override;

private:
    // A click on the picture does nothing.
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

    CSomBitmap picture_;
};
