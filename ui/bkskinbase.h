#pragma once
// A skin: a named, reusable way of painting a rectangle, created from the skin
// table and owned by it. Skins load their image on first use (LazyLoad).
#include <windows.h>

#include "ui/bkobject.h"

namespace Gdiplus {
class Graphics;
class ImageAttributes;
struct Rect;
}

class CBkSkinBase : public CBkObject {
public:
    CBkSkinBase() = default;

    // dwState is the control's state bits or a sub-image index (-1: whole image).
    virtual void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) = 0;
    virtual void DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest,
                                    const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes)
    {
        (void)pGraphics; (void)rcDest; (void)rcSrc; (void)pAttributes;
    }
    // Three points: the destination parallelogram's upper-left, upper-right
    // and lower-left corners.
    virtual void DrawToPoints(HDC hdc, const POINT* pPoints, const RECT& rcSrc)
    {
        (void)hdc; (void)pPoints; (void)rcSrc;
    }
    virtual void DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha)
    {
        (void)hdc; (void)rcDest; (void)rcSrc; (void)byAlpha;
    }
    virtual void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
    {
        (void)hdc; (void)rcDest; (void)rcSrc;
    }
    virtual void DrawTiled(HDC hdc, const RECT& rcDraw) { (void)hdc; (void)rcDraw; }
    virtual void DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
    {
        (void)hdc; (void)rcDest; (void)rcSrc;
    }
    virtual void DrawMirrored(HDC hdc, const RECT& rcDraw) { (void)hdc; (void)rcDraw; }
    virtual SIZE GetSkinSize() { SIZE size = {0, 0}; return size; }
    // TRUE when the skin has no per-state sub-images.
    virtual BOOL IgnoreState() { return FALSE; }
    // TRUE when the image is ready.
    virtual BOOL LazyLoad() { return FALSE; }

protected:
    BOOL m_bLoaded = FALSE;
};
