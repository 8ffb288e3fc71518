#pragma once
// The image side of the GDI+ skins: CBkBitmap, an owned 32-bit DIB holding
// premultiplied BGRA pixels that AlphaBlend draws directly, and the helpers
// that decode images and draw them into such bitmaps or into a DC. Images
// come from untrusted files, so sizes are checked before anything is
// allocated for them.
#include <string>
#include <windows.h>

#include <gdiplus.h>

// Images wider or higher than this are treated as failed decodes.
const int kBkMaxImageSide = 16384;

class CBkBitmap {
public:
    CBkBitmap() = default;
    ~CBkBitmap() { Reset(); }
    CBkBitmap(const CBkBitmap&) = delete;
    CBkBitmap& operator=(const CBkBitmap&) = delete;

    // A new, cleared (fully transparent) bitmap; the old one is deleted.
    // FALSE, leaving none, for a width or height of 0 or less or beyond
    // kBkMaxImageSide, or when the system refuses the bitmap.
    BOOL Create(int cx, int cy);
    void Reset();

    HBITMAP GetBitmap() const { return m_hBitmap; }
    BOOL IsValid() const { return m_hBitmap != nullptr; }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    // Top row first, Width() pixels per row.
    DWORD* Bits() const { return m_pBits; }

    // This bitmap becomes a copy of another one (none when it has none).
    BOOL CopyFrom(const CBkBitmap& other);
    // Draws the source part of an image with GDI+, scaled to the destination
    // part of this bitmap (alpha kept, premultiplied).
    BOOL DrawImage(Gdiplus::Image* pImage, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc);
    // Every pixel that is not 0 becomes grey (R x 30 + G x 59 + B x 11) / 100,
    // keeping its alpha.
    void MakeGray();

    // AlphaBlend of the source part at a constant opacity over the destination.
    // The source is clipped to the bitmap first (the destination moves with it
    // along an axis drawn at 1:1); nothing is drawn when it becomes empty.
    void Blend(HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc, BYTE byAlpha) const;
    // The whole bitmap at 1:1.
    void Blend(HDC hdc, int x, int y, BYTE byAlpha) const { Blend(hdc, x, y, m_cx, m_cy, 0, 0, m_cx, m_cy, byAlpha); }

private:
    HBITMAP m_hBitmap = nullptr;
    DWORD* m_pBits = nullptr;
    int m_cx = 0;
    int m_cy = 0;
};

// GDI+ started for as long as the object lives.
class BkGdiplusSession {
public:
    BkGdiplusSession();
    ~BkGdiplusSession();
    BkGdiplusSession(const BkGdiplusSession&) = delete;
    BkGdiplusSession& operator=(const BkGdiplusSession&) = delete;
    BOOL IsStarted() const { return m_token != 0; }

private:
    ULONG_PTR m_token = 0;
};

// Decodes image bytes through a stream that owns a global-memory copy of
// them. Empty bytes give an image object that failed to decode; null only
// when the stream cannot be made.
Gdiplus::Image* BkImageFromBytes(const std::string& strBytes);

// The image's size when it decoded to a usable size; FALSE otherwise
// (failed decode, empty or absurd size). A null image is not usable.
BOOL BkGetImageSize(Gdiplus::Image* pImage, int* pcx, int* pcy);

// GDI+ draw of a source part into a destination part, with the same clipping
// as CBkBitmap::Blend so that a source reaching past the image never smears
// its edge pixels. W x H is the image's size.
void BkDrawImageClipped(Gdiplus::Graphics& graphics, Gdiplus::Image* pImage, int W, int H,
                        int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc,
                        Gdiplus::ImageAttributes* pAttributes = nullptr);

