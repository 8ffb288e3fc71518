#include "ui/bkdraw.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/gdi.h"
#include "platform/system_api.h"

namespace {

// Restores a DC's text and background colours at scope end.
class ColorScope {
public:
    ColorScope(HDC hdc, COLORREF crText, COLORREF crBk)
        : hdc_(hdc), text_(::SetTextColor(hdc, crText)), bk_(::SetBkColor(hdc, crBk)) {}
    ~ColorScope()
    {
        if (text_ != CLR_INVALID) ::SetTextColor(hdc_, text_);
        if (bk_ != CLR_INVALID) ::SetBkColor(hdc_, bk_);
    }
    ColorScope(const ColorScope&) = delete;
    ColorScope& operator=(const ColorScope&) = delete;

private:
    HDC hdc_;
    COLORREF text_;
    COLORREF bk_;
};

// The source x of sub-image index; -1 means the whole strip.
int SubImageX(const CBkImage& image, int xSrc, int nIndex)
{
    if (nIndex == -1)
        return xSrc;
    // Computed in 64 bits: an absurd index must not wrap into the strip.
    long long x = static_cast<long long>(xSrc) + static_cast<long long>(nIndex) * image.m_nSubWidth;
    return x > INT_MAX ? INT_MAX : (x < INT_MIN ? INT_MIN : static_cast<int>(x));
}

} // namespace

SIZE CBkImage::GetBitmapSize() const
{
    SIZE size = {0, 0};
    BITMAP bm = {};
    if (m_hBitmap && ::GetObjectW(m_hBitmap, sizeof(bm), &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    return size;
}

void BkDrawImage(int nIndex, const CBkImage& image, HDC hdc, int x, int y)
{
    if (!image.m_hBitmap)
        return;
    if (nIndex != -1 && image.m_nSubWidth <= 0)
        return;
    SIZE size = image.GetBitmapSize();
    int cx = nIndex == -1 ? size.cx : image.m_nSubWidth;
    int xSrc = SubImageX(image, 0, nIndex);
    if (image.m_nMode == BKIMG_MODE_ALPHA) {
        BkAlphaBlendBitmap(image.m_hBitmap, hdc, x, y, cx, size.cy, xSrc, 0);
        return;
    }
    BkStretchImage(image, hdc, x, y, cx, size.cy, xSrc, 0, cx, size.cy, -1);
}

void BkStretchImage(const CBkImage& image, HDC hdc, int x, int y, int cx, int cy,
                    int xSrc, int ySrc, int cxSrc, int cySrc, int nIndex)
{
    if (!image.m_hBitmap || image.m_nMode == BKIMG_MODE_ALPHA)
        return;
    if (cx <= 0 || cy <= 0 || cxSrc <= 0 || cySrc <= 0)
        return;
    xSrc = SubImageX(image, xSrc, nIndex);
    platform::MemoryDC memDC(hdc);
    if (!memDC)
        return;
    platform::SelectObjectScope select(memDC, image.m_hBitmap);
    if (image.m_nMode == BKIMG_MODE_MASK) {
        BkTransparentBlt(hdc, x, y, cx, cy, memDC, xSrc, ySrc, cxSrc, cySrc, image.m_crMask);
    } else if (cx == cxSrc && cy == cySrc) {
        ::BitBlt(hdc, x, y, cx, cy, memDC, xSrc, ySrc, SRCCOPY);
    } else {
        ::StretchBlt(hdc, x, y, cx, cy, memDC, xSrc, ySrc, cxSrc, cySrc, SRCCOPY);
    }
}

void BkCopyImagePart(HDC hdc, const CBkImage& image, int x, int y, int cx, int cy,
                     int xSrc, int ySrc, int nIndex)
{
    BkStretchImage(image, hdc, x, y, cx, cy, xSrc, ySrc, cx, cy, nIndex);
}

void BkTransparentBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc,
                      int xSrc, int ySrc, int cxSrc, int cySrc, COLORREF crMask)
{
    if (cx <= 0 || cy <= 0 || cxSrc <= 0 || cySrc <= 0)
        return;
    // The source (at destination size) in a colour bitmap like the destination.
    platform::MemoryDC colorDC(hdcDest);
    platform::Bitmap colorBmp(::CreateCompatibleBitmap(hdcDest, cx, cy));
    if (!colorDC || !colorBmp)
        return;
    platform::SelectObjectScope selectColor(colorDC, colorBmp.Get());
    if (cx == cxSrc && cy == cySrc) {
        ::BitBlt(colorDC, 0, 0, cx, cy, hdcSrc, xSrc, ySrc, SRCCOPY);
    } else {
        int oldMode = ::SetStretchBltMode(colorDC, COLORONCOLOR);
        ::StretchBlt(colorDC, 0, 0, cx, cy, hdcSrc, xSrc, ySrc, cxSrc, cySrc, SRCCOPY);
        ::SetStretchBltMode(colorDC, oldMode);
    }

    // Monochrome mask: white where the colour bitmap holds the mask colour.
    platform::MemoryDC maskDC(hdcDest);
    platform::Bitmap maskBmp(::CreateBitmap(cx, cy, 1, 1, nullptr));
    if (!maskDC || !maskBmp)
        return;
    platform::SelectObjectScope selectMask(maskDC, maskBmp.Get());
    {
        COLORREF oldBk = ::SetBkColor(colorDC, crMask);
        ::BitBlt(maskDC, 0, 0, cx, cy, colorDC, 0, 0, SRCCOPY);
        ::SetBkColor(colorDC, oldBk);
    }
    // Black out the transparent pixels of the colour bitmap.
    {
        ColorScope colors(colorDC, RGB(255, 255, 255), RGB(0, 0, 0));
        ::BitBlt(colorDC, 0, 0, cx, cy, maskDC, 0, 0, SRCAND);
    }
    // Keep the destination under the transparent pixels, then lay the colours over it.
    {
        ColorScope colors(hdcDest, RGB(0, 0, 0), RGB(255, 255, 255));
        ::BitBlt(hdcDest, x, y, cx, cy, maskDC, 0, 0, SRCAND);
    }
    ::BitBlt(hdcDest, x, y, cx, cy, colorDC, 0, 0, SRCPAINT);
}

void BkAlphaBlendBitmap(HBITMAP hBitmap, HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc)
{
    if (!hBitmap || !hdc)
        return;
    DIBSECTION ds = {};
    int got = ::GetObjectW(hBitmap, sizeof(ds), &ds);
    if (got < static_cast<int>(sizeof(BITMAP)) || ds.dsBm.bmBitsPixel != 32)
        return;
    const int bmWidth = ds.dsBm.bmWidth;
    const int bmHeight = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;

    // Clip the source window to the bitmap, moving the destination with it.
    if (xSrc < 0) { x -= xSrc; cx += xSrc; xSrc = 0; }
    if (ySrc < 0) { y -= ySrc; cy += ySrc; ySrc = 0; }
    cx = std::min(cx, bmWidth - xSrc);
    cy = std::min(cy, bmHeight - ySrc);
    if (cx <= 0 || cy <= 0)
        return;

    // Source rows, top row first, 4 bytes per pixel. A DIB section is read in
    // place; any other bitmap is copied out once.
    std::vector<BYTE> copy;
    const BYTE* srcTop = nullptr;
    ptrdiff_t srcStride = 0;
    const bool isDib = got == static_cast<int>(sizeof(DIBSECTION)) && ds.dsBm.bmBits != nullptr &&
                       ds.dsBmih.biBitCount == 32 && ds.dsBmih.biCompression == BI_RGB;
    if (isDib) {
        ::GdiFlush();
        const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(bmWidth) * 4;
        BYTE* bits = static_cast<BYTE*>(ds.dsBm.bmBits);
        if (ds.dsBmih.biHeight > 0) {   // bottom-up
            srcTop = bits + rowBytes * (bmHeight - 1);
            srcStride = -rowBytes;
        } else {
            srcTop = bits;
            srcStride = rowBytes;
        }
    } else {
        BITMAPINFO bi = platform::TopDownDibInfo(bmWidth, bmHeight, 32);
        copy.resize(static_cast<size_t>(bmWidth) * bmHeight * 4);
        platform::WindowDC screen(nullptr);
        if (!::GetDIBits(screen, hBitmap, 0, bmHeight, copy.data(), &bi, DIB_RGB_COLORS))
            return;
        srcTop = copy.data();
        srcStride = static_cast<ptrdiff_t>(bmWidth) * 4;
    }

    // The destination area in a 24-bit top-down DIB (rows padded to 4 bytes).
    BITMAPINFO bi = platform::TopDownDibInfo(cx, cy, 24);
    void* dstBits = nullptr;
    platform::Bitmap dstBmp(::CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &dstBits, nullptr, 0));
    platform::MemoryDC memDC(hdc);
    if (!dstBmp || !dstBits || !memDC)
        return;
    platform::SelectObjectScope select(memDC, dstBmp.Get());
    ::BitBlt(memDC, 0, 0, cx, cy, hdc, x, y, SRCCOPY);
    ::GdiFlush();

    const ptrdiff_t dstStride = ((static_cast<ptrdiff_t>(cx) * 3 + 3) / 4) * 4;
    for (int row = 0; row < cy; ++row) {
        const BYTE* s = srcTop + srcStride * (ySrc + row) + static_cast<ptrdiff_t>(xSrc) * 4;
        BYTE* d = static_cast<BYTE*>(dstBits) + dstStride * row;
        for (int col = 0; col < cx; ++col, s += 4, d += 3) {
            const unsigned a = s[3];
            d[0] = static_cast<BYTE>((s[0] * a + d[0] * (255 - a)) / 255);
            d[1] = static_cast<BYTE>((s[1] * a + d[1] * (255 - a)) / 255);
            d[2] = static_cast<BYTE>((s[2] * a + d[2] * (255 - a)) / 255);
        }
    }
    ::BitBlt(hdc, x, y, cx, cy, memDC, 0, 0, SRCCOPY);
}

BOOL BkCreateEmptyDib32(HBITMAP* phBitmap, int cx, int cy)
{
    if (!phBitmap)
        return FALSE;
    *phBitmap = nullptr;
    if (cx <= 0 || cy <= 0)
        return FALSE;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    platform::Bitmap bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp)
        return FALSE;
    platform::MemoryDC memDC(nullptr);
    if (memDC) {
        platform::SelectObjectScope select(memDC, bmp.Get());
        RECT rc = {0, 0, cx, cy};
        BkFillSolidRect(memDC, rc, RGB(0, 0, 0));
    }
    *phBitmap = bmp.Detach();
    return TRUE;
}

void BkGradientFill(HDC hdc, const RECT& rc, COLORREF crFrom, COLORREF crTo, BOOL bVertical)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    const platform::SystemApi& api = platform::GetSystemApi();
    if (!api.GradientFill)
        return;
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rc.left;
    vertices[0].y = rc.top;
    vertices[0].Red = static_cast<COLOR16>(GetRValue(crFrom) << 8);
    vertices[0].Green = static_cast<COLOR16>(GetGValue(crFrom) << 8);
    vertices[0].Blue = static_cast<COLOR16>(GetBValue(crFrom) << 8);
    vertices[1].x = rc.right;
    vertices[1].y = rc.bottom;
    vertices[1].Red = static_cast<COLOR16>(GetRValue(crTo) << 8);
    vertices[1].Green = static_cast<COLOR16>(GetGValue(crTo) << 8);
    vertices[1].Blue = static_cast<COLOR16>(GetBValue(crTo) << 8);
    GRADIENT_RECT gradient = {0, 1};
    api.GradientFill(hdc, vertices, 2, &gradient, 1, bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

void BkFillSolidRect(HDC hdc, const RECT& rc, COLORREF cr)
{
    if (cr == CLR_INVALID)
        return;
    COLORREF old = ::SetBkColor(hdc, cr);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    if (old != CLR_INVALID)
        ::SetBkColor(hdc, old);
}
