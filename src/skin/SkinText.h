#pragma once
// Text helpers shared by the skin's elements: measuring in the shared scratch DC and
// drawing one transparent line with a font and colour that are put back afterwards.

#include <windows.h>

#include <string>

// Size of `text` in `font`, measured in the shared scratch DC.
SIZE MeasureSkinText(const std::wstring& text, HFONT font);

// TextOutW at (x, y), transparent background, with font and colour restored afterwards.
void DrawSkinText(HDC hdc, int x, int y, const std::wstring& text, HFONT font, COLORREF colour);
