#pragma once
// GDI drawing routines shared by the bitmap skins and the dialog view: a
// bitmap strip of sub-images drawn at natural size, stretched or in parts,
// opaque, with a mask colour or with per-pixel alpha; an empty 32-bit DIB;
// a two-colour gradient. Each routine makes and frees its own memory DCs and
// draws nothing when the bitmap is missing or a size comes out empty.
#include <windows.h>

enum {
    BKIMG_MODE_NONE = 0,    // opaque copy
    BKIMG_MODE_MASK = 1,    // pixels of the mask colour are transparent
    BKIMG_MODE_ALPHA = 2,   // 32-bit straight (not premultiplied) per-pixel alpha
};

// A bitmap strip as the skins see it. The bitmap belongs to BkBmpPool.
class CBkImage {
public:
    HBITMAP m_hBitmap = nullptr;
    int m_nSubWidth = 0;                        // one sub-image's width, 0 = none
    int m_nMode = BKIMG_MODE_NONE;
    COLORREF m_crMask = RGB(0xFF, 0x00, 0xFF);

    // The bitmap's size; (0, 0) without one.
    SIZE GetBitmapSize() const;
};

// Natural size at (x, y): the whole strip for index -1, else sub-image index
// (nothing when the strip has no sub-images).
void BkDrawImage(int nIndex, const CBkImage& image, HDC hdc, int x, int y);

// The source part (moved right by index x subwidth unless index is -1)
// stretched over the destination. Mode alpha draws nothing.
void BkStretchImage(const CBkImage& image, HDC hdc, int x, int y, int cx, int cy,
                    int xSrc, int ySrc, int cxSrc, int cySrc, int nIndex);

// BkStretchImage at 1:1.
void BkCopyImagePart(HDC hdc, const CBkImage& image, int x, int y, int cx, int cy,
                     int xSrc, int ySrc, int nIndex);

// Copies (stretching when the sizes differ) every source pixel that is not of
// the mask colour; those leave the destination unchanged.
void BkTransparentBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc,
                      int xSrc, int ySrc, int cxSrc, int cySrc, COLORREF crMask);

// Mixes the source window [xSrc, xSrc + cx) x [ySrc, ySrc + cy) of a 32-bit
// bitmap into the destination with each pixel's own straight alpha. Other bit
// depths draw nothing. The window is clipped to the bitmap.
void BkAlphaBlendBitmap(HBITMAP hBitmap, HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc = 0);

// A 32-bit DIB section filled with black. FALSE (and *phBitmap null) when
// the size is empty or the bitmap cannot be made.
BOOL BkCreateEmptyDib32(HBITMAP* phBitmap, int cx, int cy);

// Two-colour gradient over the rectangle: crFrom at the top (or left),
// crTo at the bottom (or right). Nothing for an empty rectangle or when the
// system lacks the gradient function.
void BkGradientFill(HDC hdc, const RECT& rc, COLORREF crFrom, COLORREF crTo, BOOL bVertical);

// Fills the rectangle with a solid colour; CLR_INVALID fills nothing.
void BkFillSolidRect(HDC hdc, const RECT& rc, COLORREF cr);
