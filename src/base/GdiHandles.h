#pragma once
// Owners for the GDI handles the skin toolkit makes while drawing, so that no error path
// leaks a DC, a bitmap or a font, and selections are always undone.

#include <windows.h>

#include "base/UniqueHandle.h"

// Owns one GDI object (bitmap, font, brush, pen, region) and deletes it.
template <class GdiHandle>
using CGdiObject = CUniqueHandle<NullableHandleTraits<GdiHandle, &::DeleteObject>>;

using CBitmapHandle = CGdiObject<HBITMAP>;
using CFontHandle = CGdiObject<HFONT>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CRegionHandle = CGdiObject<HRGN>;

// A memory DC compatible with the screen (or with `reference`), deleted with the object.
class CMemoryDC : public CUniqueHandle<NullableHandleTraits<HDC, &::DeleteDC>> {
public:
    CMemoryDC() : CUniqueHandle(::CreateCompatibleDC(nullptr)) {}
    explicit CMemoryDC(HDC reference) : CUniqueHandle(::CreateCompatibleDC(reference)) {}
};

// GetDC / ReleaseDC of a window.
class CClientDC : private CNoCopy {
public:
    explicit CClientDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~CClientDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint of a window's WM_PAINT.
class CPaintDC : private CNoCopy {
public:
    explicit CPaintDC(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
    ~CPaintDC() {
        if (dc_) ::EndPaint(hwnd_, &paint_);
    }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    const RECT& PaintRect() const { return paint_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT paint_ = {};
    HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard and restores the previous one.
class CSelectObject : private CNoCopy {
public:
    CSelectObject(HDC dc, HGDIOBJ object)
        : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Sets a DC's text colour and background mode and restores both.
class CTextStyle : private CNoCopy {
public:
    CTextStyle(HDC dc, int backgroundMode)
        : dc_(dc), colour_(::GetTextColor(dc)), mode_(::SetBkMode(dc, backgroundMode)) {}
    CTextStyle(HDC dc, int backgroundMode, COLORREF colour) : CTextStyle(dc, backgroundMode) {
        ::SetTextColor(dc, colour);
    }
    ~CTextStyle() {
        ::SetTextColor(dc_, colour_);
        if (mode_) ::SetBkMode(dc_, mode_);
    }

private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
};
