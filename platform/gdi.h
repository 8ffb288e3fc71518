#pragma once
// Owning wrappers for GDI objects and device contexts, and scoped selection
// of an object into a DC.
#include <windows.h>

namespace platform {

// A bitmap, font, brush, pen or region, deleted with DeleteObject.
template <class H>
class GdiObject {
public:
    GdiObject() noexcept = default;
    explicit GdiObject(H h) noexcept : h_(h) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : h_(o.Detach()) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }

    H Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void Reset(H h = nullptr) noexcept {
        if (h_ != nullptr && h_ != h) ::DeleteObject(h_);
        h_ = h;
    }
    H Detach() noexcept { H h = h_; h_ = nullptr; return h; }

private:
    H h_ = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Region = GdiObject<HRGN>;

// A memory DC compatible with `like` (the screen when null), deleted with DeleteDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC like = nullptr) noexcept : dc_(::CreateCompatibleDC(like)) {}
    ~MemoryDC() { if (dc_) ::DeleteDC(dc_); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const noexcept { return dc_; }
    operator HDC() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }
private:
    HDC dc_;
};

// GetDC / ReleaseDC of a window (the screen when null).
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDC() { if (dc_) ::ReleaseDC(hwnd_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const noexcept { return dc_; }
    operator HDC() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }
private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint for WM_PAINT.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
    ~PaintDC() { ::EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const noexcept { return dc_; }
    operator HDC() const noexcept { return dc_; }
    const PAINTSTRUCT& Paint() const noexcept { return ps_; }
private:
    HWND hwnd_;
    PAINTSTRUCT ps_ = {};
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back at scope end.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectObjectScope() { if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
private:
    HDC dc_;
    HGDIOBJ old_;
};

// SaveDC / RestoreDC: every change to the DC in the scope is undone.
class SaveDCScope {
public:
    explicit SaveDCScope(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
    ~SaveDCScope() { if (saved_) ::RestoreDC(dc_, saved_); }
    SaveDCScope(const SaveDCScope&) = delete;
    SaveDCScope& operator=(const SaveDCScope&) = delete;
private:
    HDC dc_;
    int saved_;
};

// The header of a top-down, uncompressed DIB of the given size and depth.
inline BITMAPINFO TopDownDibInfo(int width, int height, WORD bitCount) noexcept {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = bitCount;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// A top-down 32-bit DIB section of the given size; `bits` receives the pixels
// (BGRA, premultiplied when used with per-pixel alpha). Null on failure.
inline HBITMAP CreateDib32(int width, int height, void** bits) noexcept {
    if (bits) *bits = nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO bi = TopDownDibInfo(width, height, 32);
    void* p = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    if (bits) *bits = bmp ? p : nullptr;
    return bmp;
}

} // namespace platform
