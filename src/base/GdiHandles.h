#pragma once
// Owners for the GDI handles the skin toolkit makes while drawing, so that no error path
// leaks a DC, a bitmap or a font, and selections are always undone.

#include <windows.h>

// Owns one GDI object (bitmap, font, brush, pen, region) and deletes it.
template <class Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : handle_(handle) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : handle_(other.Detach()) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle Detach() {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(Handle handle = nullptr) {
        if (handle_) ::DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using CBitmapHandle = CGdiObject<HBITMAP>;
using CFontHandle = CGdiObject<HFONT>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CRegionHandle = CGdiObject<HRGN>;

// A memory DC compatible with the screen, deleted with the object.
class CMemoryDC {
public:
    CMemoryDC() : dc_(::CreateCompatibleDC(nullptr)) {}
    explicit CMemoryDC(HDC reference) : dc_(::CreateCompatibleDC(reference)) {}
    ~CMemoryDC() {
        if (dc_) ::DeleteDC(dc_);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// GetDC / ReleaseDC of a window.
class CClientDC {
public:
    explicit CClientDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~CClientDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard and restores the previous one.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object)
        : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject() {
        if (old_) ::SelectObject(dc_, old_);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Sets a DC's text colour and background mode and restores both.
class CTextStyle {
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
    CTextStyle(const CTextStyle&) = delete;
    CTextStyle& operator=(const CTextStyle&) = delete;

private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
};
