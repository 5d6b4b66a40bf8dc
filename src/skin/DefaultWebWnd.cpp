#include "skin/DefaultWebWnd.h"

CDefaultWebWnd::CDefaultWebWnd() : picture_(kPictureId, 1, CSomBitmap::kKindPng) {}

void CDefaultWebWnd::DrawBackground(HDC hdc, const RECT*) {
    RECT client = {};
    GetClientRect(&client);
    picture_.DrawStretched(hdc, 0, 0, client.right - client.left, client.bottom - client.top, 0);
}
