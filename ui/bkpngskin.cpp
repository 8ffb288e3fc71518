#include "ui/bkpngskin.h"

#include <algorithm>

#include "platform/module_path.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "ui/bkpngpool.h"
#include "ui/bkvalue.h"

namespace {

const HRESULT kTakenTrue = TRUE;

// A size or margin from a skin file: negative values mean nothing.
int NonNegative(const std::string& strValue)
{
    return std::max(0, BkParseInt(strValue));
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// Loading on first use for the pooled "png" and "jpg" skins; a failed load
// is tried again on the next use.
template <class Pool>
void LoadPooledImage(int nSrc, Gdiplus::Image*& image, BOOL& loaded)
{
    if (!loaded) {
        image = Pool::Get(static_cast<UINT>(nSrc));
        loaded = image != nullptr;
    }
}

// A part of a skin's image through the caller's GDI+ graphics (rotated
// images set its transform).
void DrawWithGraphics(Gdiplus::Graphics* pGraphics, Gdiplus::Image* image, int W, int H, const Gdiplus::Rect& rcDest,
                      const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes)
{
    if (!pGraphics || !image)
        return;
    BkDrawImageClipped(*pGraphics, image, W, H, rcDest.X, rcDest.Y, rcDest.Width, rcDest.Height, rcSrc.X, rcSrc.Y,
                       rcSrc.Width, rcSrc.Height, pAttributes);
}

Gdiplus::Image* UsablePooledImage(BOOL loaded, Gdiplus::Image* image, int* pcx, int* pcy)
{
    if (!loaded || !BkGetImageSize(image, pcx, pcy))
        return nullptr;
    return image;
}

// Takes the three-part attributes shared by "png" and "skinpng"/"skinjpg".
bool SetThreePartAttribute(BkThreePartParams& p, const std::string& strName, const std::string& strValue)
{
    int* field = nullptr;
    if (strName == "left") field = &p.nLeft;
    else if (strName == "top") field = &p.nTop;
    else if (strName == "margin_left") field = &p.nMarginLeft;
    else if (strName == "margin_right") field = &p.nMarginRight;
    else if (strName == "margin_top") field = &p.nMarginTop;
    else if (strName == "margin_bottom") field = &p.nMarginBottom;
    else if (strName == "middle_tile") field = &p.nMiddleTile;
    if (!field)
        return false;
    *field = NonNegative(strValue);
    return true;
}

// Sub-image index of a strip; the index wraps (as an unsigned number) over
// the sub-images that fit the image, so -1 picks the last of a strip of four.
void DrawSubImage(HDC hdc, const CBkBitmap& bmp, const RECT& rc, int nSubWidth, DWORD dwIndex, BYTE byAlpha)
{
    const int W = bmp.Width(), H = bmp.Height();
    const DWORD count = static_cast<DWORD>(W / nSubWidth);
    if (count != 0)
        dwIndex %= count;
    const unsigned long long xSrc = static_cast<unsigned long long>(nSubWidth) * dwIndex;
    if (xSrc >= static_cast<unsigned long long>(W))
        return;
    bmp.Blend(hdc, rc.left, rc.top, nSubWidth, H, static_cast<int>(xSrc), 0, nSubWidth, H, byAlpha);
}

// The three-part image: caps of the margins' size at 1:1 and the middle
// stretched (or tiled), left to right when a left or right margin is set,
// top to bottom otherwise. bNormal selects the variant of the file-backed
// skins, whose side caps and plain middle take the full rectangle height.
void DrawThreePart(HDC hdc, const CBkBitmap& bmp, const RECT& rc, const BkThreePartParams& p, BYTE byAlpha,
                   bool bNormal)
{
    const int W = bmp.Width(), H = bmp.Height();
    const int x0 = rc.left, y0 = rc.top, x1 = rc.right, y1 = rc.bottom;
    const int rw = Width(rc), rh = Height(rc);
    if (rw <= 0 || rh <= 0)
        return;
    const int ML = p.nMarginLeft, MR = p.nMarginRight, MT = p.nMarginTop, MB = p.nMarginBottom;
    const int L = p.nLeft, T = p.nTop;
    const int midW = rw - ML - MR;

    // First part.
    if (ML != 0) {
        const int h = bNormal ? rh : std::min(rh, H);
        bmp.Blend(hdc, x0, y0, ML, h, L, T, ML, h, byAlpha);
    } else if (MT != 0) {
        bmp.Blend(hdc, x0, y0, rw, MT, L, T, rw, MT, byAlpha);
    }

    // Middle.
    if (MT != 0 || MB != 0) {
        bmp.Blend(hdc, x0 + ML, y0 + MT, midW, rh - MT - MB, ML + L, MT + T, std::min(W, rw) - ML - MR,
                  std::min(H, rh) - MT - MB, byAlpha);
    } else if (p.nMiddleTile == 0) {
        if (bNormal) {
            bmp.Blend(hdc, x0 + ML, y0, midW, rh, ML + L, T, std::min(rw, W - ML - MR), std::min(rh, H - T), byAlpha);
        } else {
            const int h = std::min(rh, H);
            bmp.Blend(hdc, x0 + ML, y0, midW, h, ML + L, T, std::min(W, rw) - ML - MR, h, byAlpha);
        }
    } else {
        const int piece = W - ML - MR;
        if (piece > 0 && midW > 0) {
            int x = x0 + ML;
            int left = midW;
            for (; left >= piece; left -= piece, x += piece)
                bmp.Blend(hdc, x, y0, piece, rh, L + ML, T, piece, rh, byAlpha);
            if (left > 0)
                bmp.Blend(hdc, x, y0, left, rh, L + ML, T, left, rh, byAlpha);
        }
    }

    // Last part. Drawn once: a second pass over the same cap would double
    // the opacity of its half-transparent pixels.
    if (MR != 0) {
        const int h = bNormal ? rh : std::min(H, rh);
        bmp.Blend(hdc, x1 - MR, y0, MR, h, W - MR, T, MR, h, byAlpha);
    } else if (MB != 0) {
        bmp.Blend(hdc, x0, y1 - MB, rw, MB, L, H - MB, rw, MB, byAlpha);
    }
}

// Whole copies of the bitmap from the top-left corner, as many as fit.
void DrawTiledCopies(HDC hdc, const CBkBitmap& bmp, const RECT& rc, BYTE byAlpha)
{
    const int W = bmp.Width(), H = bmp.Height();
    if (W <= 0 || H <= 0 || Width(rc) < W)
        return;
    for (int y = rc.top; y <= rc.bottom - H; y += H)
        for (int x = rc.left; x <= rc.right - W; x += W)
            bmp.Blend(hdc, x, y, byAlpha);
}

} // namespace

// ---------------------------------------------------------------- png

HRESULT CBkPngSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    if (SetThreePartAttribute(m_parts, strName, strValue))
        return kTakenTrue;
    if (strName == "src") {
        m_nSrc = BkParseInt(strValue);
        return kTakenTrue;
    }
    if (strName == "subwidth") {
        m_nSubWidth = NonNegative(strValue);
        return kTakenTrue;
    }
    if (strName == "tile_stretch") {
        m_nTileStretch = BkParseInt(strValue);
        return kTakenTrue;
    }
    if (strName == "flip") {
        m_nFlip = BkParseInt(strValue);
        if (m_nFlip != 0)
            m_nFlipType = Gdiplus::RotateNoneFlipX;
        return kTakenTrue;
    }
    if (strName == "fliptype") {
        int type = BkParseInt(strValue);
        if (type < 0 || type > 7)
            return E_FAIL;   // not a rotate-flip that can be undone
        m_nFlipType = type;
        return kTakenTrue;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkPngSkin::LazyLoad()
{
    LoadPooledImage<BkPngPool>(m_nSrc, m_pImage, m_bLoaded);
    MakeFlippedCopy();
    return TRUE;
}

void CBkPngSkin::MakeFlippedCopy()
{
    if (!m_bLoaded || m_nFlipType == 0 || m_bFlipTried || !BkGetImageSize(m_pImage, nullptr, nullptr))
        return;
    m_bFlipTried = TRUE;
    m_spCopySession.reset(new BkGdiplusSession);
    std::unique_ptr<Gdiplus::Image> copy(m_pImage->Clone());
    if (copy && copy->GetLastStatus() == Gdiplus::Ok &&
        copy->RotateFlip(static_cast<Gdiplus::RotateFlipType>(m_nFlipType)) == Gdiplus::Ok)
        m_spFlipped = std::move(copy);
    else
        platform::Trace("png skin %d: no flipped copy; drawn unflipped", m_nSrc);
}

Gdiplus::Image* CBkPngSkin::UsableImage(int* pcx, int* pcy) const
{
    if (m_spFlipped)
        return UsablePooledImage(m_bLoaded, m_spFlipped.get(), pcx, pcy);
    return UsablePooledImage(m_bLoaded, m_pImage, pcx, pcy);
}

void CBkPngSkin::EnsureBlendCopy()
{
    if (m_bBlendMade)
        return;
    m_bBlendMade = TRUE;
    int W = 0, H = 0;
    Gdiplus::Image* image = UsableImage(&W, &H);
    if (image && m_bmpBlend.Create(W, H))
        m_bmpBlend.DrawImage(image, 0, 0, W, H, 0, 0, W, H);
}

void CBkPngSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    if (!UsableImage())
        return;
    EnsureBlendCopy();
    if (!m_bmpBlend.IsValid())
        return;
    if (m_nTileStretch != 0)
        DrawEightPiece(hdc, rcDraw);
    else if (m_nSubWidth != 0)
        DrawSubImage(hdc, m_bmpBlend, rcDraw, m_nSubWidth, dwState, 255);
    else
        DrawThreePart(hdc, m_bmpBlend, rcDraw, m_parts, 255, false);
}

void CBkPngSkin::DrawEightPiece(HDC hdc, const RECT& rc)
{
    const CBkBitmap& bmp = m_bmpBlend;
    const int W = bmp.Width(), H = bmp.Height();
    const int x0 = rc.left, y0 = rc.top, x1 = rc.right, y1 = rc.bottom;
    const int rw = Width(rc), rh = Height(rc);
    if (rw <= 0 || rh <= 0)
        return;
    // The split column and row must lie inside the image.
    const int L = std::min(m_parts.nLeft, W - 1);
    const int T = std::min(m_parts.nTop, H - 1);
    const int MB = std::min(m_parts.nMarginBottom, H);
    const int B = H - T - 1;
    const int R = W - L - 1;

    const int t = rh < T + MB ? std::max(0, rh - MB) : T;
    bmp.Blend(hdc, x0, y0, L, t, 0, 0, L, t, 255);
    bmp.Blend(hdc, x1 - R, y0, R, t, L + 1, 0, R, t, 255);
    // The edges repeat a one-pixel column or row; one stretched blend of it
    // paints the same pixels as blending it once per pixel.
    if (L + 1 < rw)
        bmp.Blend(hdc, x0 + L, y0, rw - W + 1, t, L, 0, 1, t, 255);
    if (T + B < rh) {
        bmp.Blend(hdc, x0, y0 + T, L, rh - T - B, 0, T, L, 1, 255);
        bmp.Blend(hdc, x1 - R, y0 + T, R, rh - T - B, L + 1, T, R, 1, 255);
    }
    const int b = rh >= T + B ? B : (rh >= T + MB ? rh - T : MB);
    bmp.Blend(hdc, x0, y1 - b, L, b, 0, H - b, L, b, 255);
    bmp.Blend(hdc, x1 - R, y1 - b, R, b, L + 1, H - b, R, b, 255);
    bmp.Blend(hdc, x0 + L, y1 - MB, rw - W + 1, MB, L, H - MB, 1, MB, 255);
}

void CBkPngSkin::DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest,
                                    const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes)
{
    int W = 0, H = 0;
    Gdiplus::Image* image = UsableImage(&W, &H);
    DrawWithGraphics(pGraphics, image, W, H, rcDest, rcSrc, pAttributes);
}

void CBkPngSkin::DrawToPoints(HDC hdc, const POINT* pPoints, const RECT& rcSrc)
{
    Gdiplus::Image* image = UsableImage();
    if (!pPoints || !image || Width(rcSrc) <= 0 || Height(rcSrc) <= 0)
        return;
    Gdiplus::Graphics graphics(hdc);
    Gdiplus::Point points[3] = {
        Gdiplus::Point(pPoints[0].x, pPoints[0].y),
        Gdiplus::Point(pPoints[1].x, pPoints[1].y),
        Gdiplus::Point(pPoints[2].x, pPoints[2].y),
    };
    graphics.DrawImage(image, points, 3, rcSrc.left, rcSrc.top, Width(rcSrc), Height(rcSrc), Gdiplus::UnitPixel);
}

void CBkPngSkin::DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha)
{
    Gdiplus::Image* image = UsableImage();
    if (!image)
        return;
    CBkBitmap scaled;
    if (!scaled.Create(Width(rcDest), Height(rcDest)))
        return;
    scaled.DrawImage(image, 0, 0, Width(rcDest), Height(rcDest), rcSrc.left, rcSrc.top, Width(rcSrc),
                     Height(rcSrc));
    scaled.Blend(hdc, rcDest.left, rcDest.top, byAlpha);
}

void CBkPngSkin::DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    int W = 0, H = 0;
    Gdiplus::Image* image = UsableImage(&W, &H);
    if (!image)
        return;
    Gdiplus::Graphics graphics(hdc);
    BkDrawImageClipped(graphics, image, W, H, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), rcSrc.left,
                       rcSrc.top, Width(rcSrc), Height(rcSrc));
}

void CBkPngSkin::DrawTiled(HDC hdc, const RECT& rcDraw)
{
    if (!UsableImage())
        return;
    EnsureBlendCopy();
    DrawTiledCopies(hdc, m_bmpBlend, rcDraw, 255);
}

void CBkPngSkin::DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    Gdiplus::Image* image = UsableImage();
    if (!image)
        return;
    if (!m_bGrayMade) {
        m_bGrayMade = TRUE;
        if (m_bmpGray.Create(Width(rcDest), Height(rcDest))) {
            m_bmpGray.DrawImage(image, 0, 0, Width(rcDest), Height(rcDest), rcSrc.left, rcSrc.top, Width(rcSrc),
                                Height(rcSrc));
            m_bmpGray.MakeGray();
        }
    }
    // The grey copy keeps the size of its first drawing.
    m_bmpGray.Blend(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), 0, 0, m_bmpGray.Width(),
                    m_bmpGray.Height(), 255);
}

void CBkPngSkin::DrawMirrored(HDC hdc, const RECT& rcDraw)
{
    int W = 0, H = 0;
    Gdiplus::Image* image = UsableImage(&W, &H);
    if (!image || Width(rcDraw) <= 0 || Height(rcDraw) <= 0)
        return;
    // Mirrored by the destination's corners (upper-left at the right edge),
    // not by flipping an image that may be shared.
    Gdiplus::Point corners[3] = {
        Gdiplus::Point(rcDraw.right, rcDraw.top),
        Gdiplus::Point(rcDraw.left, rcDraw.top),
        Gdiplus::Point(rcDraw.right, rcDraw.bottom),
    };
    Gdiplus::Graphics graphics(hdc);
    graphics.DrawImage(image, corners, 3, 0, 0, W, H, Gdiplus::UnitPixel);
}

void CBkPngSkin::DrawPart(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc)
{
    Gdiplus::Image* image = pGraphics ? UsableImage() : nullptr;
    if (!image)
        return;
    pGraphics->DrawImage(image, rcDest, rcSrc.X, rcSrc.Y, rcSrc.Width, rcSrc.Height, Gdiplus::UnitPixel);
}

SIZE CBkPngSkin::GetSkinSize()
{
    SIZE size = {0, 0};
    int W = 0, H = 0;
    if (UsableImage(&W, &H)) {
        size.cx = m_nSubWidth != 0 ? m_nSubWidth : W;
        size.cy = H;
    }
    return size;
}

// ---------------------------------------------------------------- jpg

HRESULT CBkJpgSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    int* field = nullptr;
    if (strName == "src") {
        m_nSrc = BkParseInt(strValue);
        return S_OK;
    }
    if (strName == "subwidth") field = &m_nSubWidth;
    else if (strName == "left") field = &m_nLeft;
    else if (strName == "top") field = &m_nTop;
    else if (strName == "margin_left") field = &m_nMarginLeft;
    else if (strName == "margin_right") field = &m_nMarginRight;
    if (field) {
        *field = NonNegative(strValue);
        return S_OK;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkJpgSkin::LazyLoad()
{
    LoadPooledImage<BkJpgPool>(m_nSrc, m_pImage, m_bLoaded);
    return TRUE;
}

Gdiplus::Image* CBkJpgSkin::UsableImage(int* pcx, int* pcy) const
{
    return UsablePooledImage(m_bLoaded, m_pImage, pcx, pcy);
}

void CBkJpgSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    int W = 0, H = 0;
    if (!UsableImage(&W, &H))
        return;
    const int x0 = rcDraw.left, y0 = rcDraw.top;
    const int rw = Width(rcDraw), rh = Height(rcDraw);
    Gdiplus::Graphics graphics(hdc);
    graphics.SetPageUnit(Gdiplus::UnitPixel);
    if (m_nSubWidth != 0) {
        const long long xSrc = static_cast<long long>(static_cast<int>(dwState)) * m_nSubWidth;
        if (xSrc < 0 || xSrc >= W)
            return;
        BkDrawImageClipped(graphics, m_pImage, W, H, x0, y0, m_nSubWidth, H, static_cast<int>(xSrc), 0, m_nSubWidth,
                           H);
        return;
    }
    const int ML = m_nMarginLeft, MR = m_nMarginRight;
    if (ML != 0)
        BkDrawImageClipped(graphics, m_pImage, W, H, x0, y0, ML, rh, m_nLeft, m_nTop, ML, rh);
    BkDrawImageClipped(graphics, m_pImage, W, H, x0 + ML, y0, rw - ML - MR, rh, ML + m_nLeft, m_nTop,
                       std::min(W, rw) - MR - ML, rh);
    if (MR != 0)
        BkDrawImageClipped(graphics, m_pImage, W, H, rcDraw.right - MR, y0, MR, rh, W - MR, m_nTop, MR, rh);
}

void CBkJpgSkin::DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest,
                                    const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes)
{
    int W = 0, H = 0;
    Gdiplus::Image* image = UsableImage(&W, &H);
    DrawWithGraphics(pGraphics, image, W, H, rcDest, rcSrc, pAttributes);
}

void CBkJpgSkin::DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    int W = 0, H = 0;
    if (!UsableImage(&W, &H))
        return;
    Gdiplus::Graphics graphics(hdc);
    BkDrawImageClipped(graphics, m_pImage, W, H, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), rcSrc.left,
                       rcSrc.top, Width(rcSrc), Height(rcSrc));
}

void CBkJpgSkin::DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    int W = 0, H = 0;
    if (!UsableImage(&W, &H))
        return;
    Gdiplus::ColorMatrix matrix = {{
        {0.3f, 0.3f, 0.3f, 0, 0},
        {0.59f, 0.59f, 0.59f, 0, 0},
        {0.11f, 0.11f, 0.11f, 0, 0},
        {0, 0, 0, 1, 0},
        {0, 0, 0, 0, 1},
    }};
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
    Gdiplus::Graphics graphics(hdc);
    BkDrawImageClipped(graphics, m_pImage, W, H, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), rcSrc.left,
                       rcSrc.top, Width(rcSrc), Height(rcSrc), &attributes);
}

SIZE CBkJpgSkin::GetSkinSize()
{
    SIZE size = {0, 0};
    int W = 0, H = 0;
    if (UsableImage(&W, &H)) {
        size.cx = m_nSubWidth != 0 ? m_nSubWidth : W;
        size.cy = H;
    }
    return size;
}

// ---------------------------------------------------------------- skinpng / skinjpg

namespace {

std::wstring& AlphaConfigFile()
{
    static std::wstring path;
    return path;
}

} // namespace

void CBkNormalSkin::SetAlphaConfigFile(const std::wstring& strPath)
{
    AlphaConfigFile() = strPath;
}

std::wstring CBkNormalSkin::GetAlphaConfigFile()
{
    if (!AlphaConfigFile().empty())
        return AlphaConfigFile();
    // A bare relative name would send the profile functions to the Windows
    // folder; the file belongs beside the program.
    std::wstring folder = platform::FolderOfPath(platform::ModuleFileName(nullptr));
    if (folder.empty()) folder = L".";
    return folder + L"\\data\\skin\\skincfg.ini";
}

HRESULT CBkNormalSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    if (SetThreePartAttribute(m_parts, strName, strValue))
        return kTakenTrue;
    if (strName == "src") {
        m_nSrc = BkParseInt(strValue);
        return kTakenTrue;
    }
    if (strName == "file") {
        m_strFile = strValue;
        return kTakenTrue;
    }
    if (strName == "extern_alpha_key") {
        m_strExternAlphaKey = strValue;
        return kTakenTrue;
    }
    if (strName == "subwidth") {
        m_nSubWidth = NonNegative(strValue);
        return kTakenTrue;
    }
    if (strName == "alpha") {
        m_nAlpha = std::min(255, NonNegative(strValue));
        return kTakenTrue;
    }
    if (strName == "flip") {
        m_nFlip = BkParseInt(strValue);
        return kTakenTrue;
    }
    if (strName == "tile_stretch") {
        m_nTileStretch = BkParseInt(strValue);
        return kTakenTrue;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkNormalSkin::LoadOnce(LPCWSTR lpszType, BOOL bReadAlpha)
{
    // Once, also when the image is missing: a failed decode is not pooled,
    // so trying again would decode on every paint.
    if (m_bLoadTried)
        return TRUE;
    m_bLoadTried = TRUE;
    BkSkinPool::Instance().Load(static_cast<UINT>(m_nSrc), m_strFile, m_bmpImage, lpszType);
    m_bLoaded = m_bmpImage.IsValid();
    if (bReadAlpha && !m_strExternAlphaKey.empty()) {
        std::wstring key = platform::AnsiToWide(m_strExternAlphaKey);
        UINT alpha = ::GetPrivateProfileIntW(L"alpha", key.c_str(), 255, GetAlphaConfigFile().c_str());
        m_nAlpha = static_cast<int>(std::min(alpha, 255u));
    }
    return TRUE;
}

void CBkNormalSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    if (!m_bLoaded || !m_bmpImage.IsValid())
        return;
    if (m_nSubWidth != 0)
        DrawSubImage(hdc, m_bmpImage, rcDraw, m_nSubWidth, dwState, GetAlpha());
    else
        DrawThreePart(hdc, m_bmpImage, rcDraw, m_parts, GetAlpha(), true);
}

void CBkNormalSkin::DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha)
{
    if (!m_bLoaded)
        return;
    m_bmpImage.Blend(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), rcSrc.left, rcSrc.top, Width(rcSrc),
                     Height(rcSrc), byAlpha);
}

void CBkNormalSkin::DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    DrawAlpha(hdc, rcDest, rcSrc, GetAlpha());
}

void CBkNormalSkin::DrawTiled(HDC hdc, const RECT& rcDraw)
{
    if (!m_bLoaded)
        return;
    DrawTiledCopies(hdc, m_bmpImage, rcDraw, GetAlpha());
}

void CBkNormalSkin::DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc)
{
    if (!m_bLoaded)
        return;
    if (!m_bGrayMade) {
        m_bGrayMade = TRUE;
        if (m_bmpGray.CopyFrom(m_bmpImage))
            m_bmpGray.MakeGray();
    }
    m_bmpGray.Blend(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), rcSrc.left, rcSrc.top, Width(rcSrc),
                    Height(rcSrc), GetAlpha());
}

SIZE CBkNormalSkin::GetSkinSize()
{
    SIZE size = {0, 0};
    if (m_bmpImage.IsValid()) {
        size.cx = m_nSubWidth != 0 ? m_nSubWidth : m_bmpImage.Width();
        size.cy = m_bmpImage.Height();
    }
    return size;
}
