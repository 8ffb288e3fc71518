#include "ui/bkbitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi.h"

namespace {

// Clips a source span [src, src + srcLen) to [0, limit). The destination
// span moves and shrinks with it when the axis is drawn at 1:1; a stretched
// axis keeps its destination. FALSE when nothing is left.
bool ClipSpan(int limit, int& dst, int& dstLen, int& src, int& srcLen)
{
    if (dstLen <= 0 || srcLen <= 0 || limit <= 0)
        return false;
    const bool oneToOne = dstLen == srcLen;
    if (src < 0) {
        long long cut = -static_cast<long long>(src);
        if (cut >= srcLen)
            return false;
        src = 0;
        srcLen -= static_cast<int>(cut);
        if (oneToOne) {
            dst += static_cast<int>(cut);
            dstLen -= static_cast<int>(cut);
        }
    }
    if (src >= limit)
        return false;
    if (srcLen > limit - src) {
        int cut = srcLen - (limit - src);
        srcLen -= cut;
        if (oneToOne)
            dstLen -= cut;
    }
    return srcLen > 0 && dstLen > 0;
}

} // namespace

// ---------------------------------------------------------------- CBkBitmap

BOOL CBkBitmap::Create(int cx, int cy)
{
    Reset();
    if (cx <= 0 || cy <= 0 || cx > kBkMaxImageSide || cy > kBkMaxImageSide)
        return FALSE;
    void* bits = nullptr;
    HBITMAP bitmap = platform::CreateDib32(cx, cy, &bits);   // cleared by the system
    if (!bitmap || !bits) {
        if (bitmap)
            ::DeleteObject(bitmap);
        return FALSE;
    }
    m_hBitmap = bitmap;
    m_pBits = static_cast<DWORD*>(bits);
    m_cx = cx;
    m_cy = cy;
    return TRUE;
}

void CBkBitmap::Reset()
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    m_pBits = nullptr;
    m_cx = m_cy = 0;
}

BOOL CBkBitmap::CopyFrom(const CBkBitmap& other)
{
    if (&other == this)
        return IsValid();
    if (!other.IsValid()) {
        Reset();
        return FALSE;
    }
    if (!Create(other.m_cx, other.m_cy))
        return FALSE;
    ::GdiFlush();
    std::memcpy(m_pBits, other.m_pBits, static_cast<size_t>(m_cx) * m_cy * sizeof(DWORD));
    return TRUE;
}

BOOL CBkBitmap::DrawImage(Gdiplus::Image* pImage, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc)
{
    int W = 0, H = 0;
    if (!IsValid() || !BkGetImageSize(pImage, &W, &H))
        return FALSE;
    ::GdiFlush();
    // GDI+ draws straight into the DIB's pixels, seen as premultiplied ARGB,
    // which is what AlphaBlend wants.
    Gdiplus::Bitmap target(m_cx, m_cy, m_cx * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(m_pBits));
    if (target.GetLastStatus() != Gdiplus::Ok)
        return FALSE;
    Gdiplus::Graphics graphics(&target);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return FALSE;
    BkDrawImageClipped(graphics, pImage, W, H, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc);
    graphics.Flush(Gdiplus::FlushIntentionSync);
    return TRUE;
}

void CBkBitmap::MakeGray()
{
    if (!IsValid())
        return;
    ::GdiFlush();
    const size_t count = static_cast<size_t>(m_cx) * m_cy;
    for (size_t i = 0; i < count; ++i) {
        DWORD p = m_pBits[i];
        if (p == 0)
            continue;
        DWORD b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
        DWORD grey = (r * 30 + g * 59 + b * 11) / 100;
        m_pBits[i] = (p & 0xFF000000u) | (grey << 16) | (grey << 8) | grey;
    }
}

void CBkBitmap::Blend(HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc, BYTE byAlpha) const
{
    if (!IsValid() || !hdc)
        return;
    if (!ClipSpan(m_cx, x, cx, xSrc, cxSrc) || !ClipSpan(m_cy, y, cy, ySrc, cySrc))
        return;
    platform::MemoryDC memDC(hdc);
    if (!memDC)
        return;
    platform::SelectObjectScope select(memDC, m_hBitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, byAlpha, AC_SRC_ALPHA};
    ::AlphaBlend(hdc, x, y, cx, cy, memDC, xSrc, ySrc, cxSrc, cySrc, blend);
}

// ---------------------------------------------------------------- GDI+ helpers

BkGdiplusSession::BkGdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok)
        m_token = 0;
}

BkGdiplusSession::~BkGdiplusSession()
{
    if (m_token)
        Gdiplus::GdiplusShutdown(m_token);
}

Gdiplus::Image* BkImageFromBytes(const std::string& strBytes)
{
    // The stream owns the memory (freed on its last release); the image
    // keeps its own reference to the stream for as long as it lives.
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, strBytes.empty() ? 1 : strBytes.size());
    if (!global)
        return nullptr;
    if (void* data = ::GlobalLock(global)) {
        if (!strBytes.empty())
            std::memcpy(data, strBytes.data(), strBytes.size());
        ::GlobalUnlock(global);
    }
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(global, TRUE, &stream)) || !stream) {
        ::GlobalFree(global);
        return nullptr;
    }
    ULARGE_INTEGER size;
    size.QuadPart = strBytes.size();
    stream->SetSize(size);   // an empty text is an empty stream, not one stray byte
    Gdiplus::Image* image = new Gdiplus::Image(stream);
    stream->Release();
    return image;
}

BOOL BkGetImageSize(Gdiplus::Image* pImage, int* pcx, int* pcy)
{
    if (!pImage)
        return FALSE;
    const UINT cx = pImage->GetWidth();
    const UINT cy = pImage->GetHeight();
    if (cx == 0 || cy == 0 || cx > static_cast<UINT>(kBkMaxImageSide) || cy > static_cast<UINT>(kBkMaxImageSide))
        return FALSE;
    if (pcx) *pcx = static_cast<int>(cx);
    if (pcy) *pcy = static_cast<int>(cy);
    return TRUE;
}

void BkDrawImageClipped(Gdiplus::Graphics& graphics, Gdiplus::Image* pImage, int W, int H,
                        int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc,
                        Gdiplus::ImageAttributes* pAttributes)
{
    if (!pImage || !ClipSpan(W, x, cx, xSrc, cxSrc) || !ClipSpan(H, y, cy, ySrc, cySrc))
        return;
    // Scaling samples pixels beyond the source's edge; mirroring the edge
    // keeps a stretched part from fading into transparency at its borders.
    Gdiplus::ImageAttributes edgeMirror;
    if (!pAttributes && (cx != cxSrc || cy != cySrc)) {
        edgeMirror.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        pAttributes = &edgeMirror;
    }
    graphics.DrawImage(pImage, Gdiplus::Rect(x, y, cx, cy), xSrc, ySrc, cxSrc, cySrc, Gdiplus::UnitPixel,
                       pAttributes);
}
