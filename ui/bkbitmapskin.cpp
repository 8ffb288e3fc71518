#include "ui/bkbitmapskin.h"

#include <algorithm>

#include "platform/gdi.h"
#include "ui/bkbmppool.h"
#include "ui/bkvalue.h"
#include "ui/bkwnd.h"

namespace {

// Attribute results: known, and known with TRUE where the table says so.
const HRESULT kTaken = S_OK;
const HRESULT kTakenTrue = TRUE;

} // namespace

// ---------------------------------------------------------------- imglst

HRESULT CBkImageSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    if (strName == "src") {
        m_strSrc = strValue;
        return kTaken;
    }
    if (strName == "mode") {
        if (strValue == "none")
            m_nMode = BKIMG_MODE_NONE;
        else if (strValue == "mask")
            m_nMode = BKIMG_MODE_MASK;
        else if (strValue == "alpha")
            m_nMode = BKIMG_MODE_ALPHA;
        else
            return E_FAIL;
        return kTaken;
    }
    if (strName == "maskcolor") {
        m_crMask = BkParseColor(strValue);
        return kTaken;
    }
    if (strName == "subwidth") {
        // A negative width would walk the source backwards out of the strip.
        m_nSubWidth = std::max(0, BkParseInt(strValue));
        return kTaken;
    }
    if (strName == "stretch-x") {
        m_nStretchX = std::max(0, BkParseInt(strValue));
        return kTakenTrue;
    }
    if (strName == "stretch-y") {
        m_nStretchY = std::max(0, BkParseInt(strValue));
        return kTakenTrue;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkImageSkin::LazyLoad()
{
    if (!m_bLoaded) {
        UINT id = 0;
        if (BkParseId(m_strSrc, &id))
            m_hBitmap = BkBmpPool::GetBitmap(id);
        // Loaded also without a bitmap: a missing image stays missing.
        m_bLoaded = TRUE;
    }
    return TRUE;
}

void CBkImageSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    if (!m_bLoaded || !m_hBitmap)
        return;
    const int index = static_cast<int>(dwState);
    if (m_nStretchX != 0 && m_nStretchY != 0) {
        SIZE size = GetBitmapSize();
        int cxSrc = (index == -1 || m_nSubWidth == 0) ? size.cx : m_nSubWidth;
        int oldMode = ::SetStretchBltMode(hdc, COLORONCOLOR);
        BkStretchImage(*this, hdc, rcDraw.left, rcDraw.top, m_nStretchX, m_nStretchY, 0, 0, cxSrc, size.cy,
                       m_nSubWidth == 0 ? -1 : index);
        ::SetStretchBltMode(hdc, oldMode);
        return;
    }
    BkDrawImage(index, *this, hdc, rcDraw.left, rcDraw.top);
}

SIZE CBkImageSkin::GetSkinSize()
{
    if (m_nStretchX != 0 && m_nStretchY != 0) {
        SIZE size = {m_nStretchX, m_nStretchY};
        return size;
    }
    SIZE size = GetBitmapSize();
    if (m_nSubWidth != 0)
        size.cx = m_nSubWidth;
    return size;
}

BOOL CBkImageSkin::IgnoreState()
{
    return m_nSubWidth == 0;
}

// ---------------------------------------------------------------- imgframe

HRESULT CBkSkinImgFrame::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    HRESULT hr = m_imgSkin.SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr))
        return hr;
    if (strName == "crbg") {
        m_crBg = BkParseColor(strValue);
        return kTaken;
    }
    if (strName == "left") {
        m_nLeft = BkParseInt(strValue);
        return kTaken;
    }
    if (strName == "top") {
        m_nTop = BkParseInt(strValue);
        return kTaken;
    }
    if (strName == "part") {
        static const struct { const char* name; UINT part; } kParts[] = {
            {"all", 0x2F}, {"top", 0x2B}, {"middle", 0x2A}, {"bottom", 0x2E},
            {"left", 0x0F}, {"center", 0x07}, {"right", 0x27},
        };
        for (const auto& p : kParts) {
            if (strValue == p.name) {
                m_uPart = p.part;
                return kTaken;
            }
        }
        return E_FAIL;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkSkinImgFrame::LazyLoad()
{
    m_imgSkin.LazyLoad();
    m_bLoaded = m_imgSkin.IsLoaded();
    return m_bLoaded;
}

void CBkSkinImgFrame::Draw(HDC hdc, const RECT& rcDraw, DWORD /*dwState*/)
{
    if (!m_bLoaded || !m_imgSkin.m_hBitmap)
        return;
    const SIZE size = m_imgSkin.GetBitmapSize();
    const int W = size.cx;
    const int H = size.cy;
    if (W <= 0 || H <= 0)
        return;
    // The split column and row must lie inside the bitmap, whatever the skin
    // file says, or the corner sizes below turn negative.
    const int L = std::min(std::max(m_nLeft, 0), W - 1);
    const int T = std::min(std::max(m_nTop, 0), H - 1);
    const int R = W - L - 1;    // right corner width
    const int B = H - T - 1;    // bottom corner height

    const bool top = (m_uPart & FRAME_TOP) != 0;
    const bool bottom = (m_uPart & FRAME_BOTTOM) != 0;
    const bool left = (m_uPart & FRAME_LEFT) != 0;
    const bool right = (m_uPart & FRAME_RIGHT) != 0;

    RECT inner = rcDraw;
    if (left) inner.left += L;
    if (top) inner.top += T;
    if (bottom) inner.bottom -= B;
    if (right) inner.right -= R;
    const int innerW = inner.right - inner.left;
    const int innerH = inner.bottom - inner.top;

    const CBkImage& image = m_imgSkin;
    if (top && left)
        BkCopyImagePart(hdc, image, rcDraw.left, rcDraw.top, L, T, 0, 0, -1);
    if (top && right)
        BkCopyImagePart(hdc, image, inner.right, rcDraw.top, R, T, L + 1, 0, -1);
    if (bottom && left)
        BkCopyImagePart(hdc, image, rcDraw.left, inner.bottom, L, B, 0, T + 1, -1);
    if (bottom && right)
        BkCopyImagePart(hdc, image, inner.right, inner.bottom, R, B, L + 1, T + 1, -1);

    if (top)
        BkStretchImage(image, hdc, inner.left, rcDraw.top, innerW, T, L, 0, 1, T, -1);
    if (left)
        BkStretchImage(image, hdc, rcDraw.left, inner.top, L, innerH, 0, T, L, 1, -1);
    if (bottom)
        BkStretchImage(image, hdc, inner.left, rcDraw.bottom - B, innerW, B, L, T + 1, 1, B, -1);
    if (right)
        BkStretchImage(image, hdc, inner.right, inner.top, R, innerH, L + 1, T, R, 1, -1);

    if (innerW > 0 && innerH > 0)
        BkFillSolidRect(hdc, inner, m_crBg);
}

// ---------------------------------------------------------------- button

HRESULT CBkSkinButton::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    COLORREF* color = nullptr;
    if (strName == "bg") color = &m_crBg;
    else if (strName == "border") color = &m_crBorder;
    else if (strName == "bgup") color = &m_crBgUpNormal;
    else if (strName == "bguphover") color = &m_crBgUpHover;
    else if (strName == "bguppush") color = &m_crBgUpPush;
    else if (strName == "bgdown") color = &m_crBgDownNormal;
    else if (strName == "bgdownhover") color = &m_crBgDownHover;
    else if (strName == "bgdownpush") color = &m_crBgDownPush;
    if (color) {
        *color = BkParseColor(strValue);
        return kTaken;
    }
    if (strName == "useborder") {
        m_nUseBorder = BkParseInt(strValue);
        return kTaken;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

void CBkSkinButton::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    BkFillSolidRect(hdc, rcDraw, m_crBg);
    RECT face = rcDraw;
    if (m_nUseBorder != 0)
        ::InflateRect(&face, -2, -2);
    if (!(dwState & BKSTATE_DISABLED)) {
        if (dwState & BKSTATE_PUSHED)
            BkGradientFill(hdc, face, m_crBgUpPush, m_crBgDownPush, TRUE);
        else if (dwState & BKSTATE_HOVER)
            BkGradientFill(hdc, face, m_crBgUpHover, m_crBgDownHover, TRUE);
        else
            BkGradientFill(hdc, face, m_crBgUpNormal, m_crBgDownNormal, TRUE);
    }
    if (m_nUseBorder != 0) {
        platform::Pen pen(::CreatePen(PS_SOLID, 1, m_crBorder));
        if (pen) {
            platform::SelectObjectScope selectPen(hdc, pen.Get());
            platform::SelectObjectScope selectBrush(hdc, ::GetStockObject(NULL_BRUSH));
            ::Rectangle(hdc, rcDraw.left, rcDraw.top, rcDraw.right, rcDraw.bottom);
        }
    }
}

// ---------------------------------------------------------------- imghorzex

HRESULT CBkSkinImgHorzExtend::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    HRESULT hr = m_imgSkin.SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr))
        return hr;
    if (strName == "left") {
        m_nLeft = BkParseInt(strValue);
        return kTaken;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

BOOL CBkSkinImgHorzExtend::LazyLoad()
{
    m_imgSkin.LazyLoad();
    m_bLoaded = m_imgSkin.IsLoaded();
    return m_bLoaded;
}

void CBkSkinImgHorzExtend::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState)
{
    if (!m_bLoaded || !m_imgSkin.m_hBitmap)
        return;
    int index;
    if (dwState == static_cast<DWORD>(-1))
        index = -1;
    else if (dwState & BKSTATE_DISABLED)
        index = 3;
    else if (dwState & BKSTATE_PUSHED)
        index = 2;
    else if (dwState & BKSTATE_HOVER)
        index = 1;
    else
        index = 0;

    const SIZE size = m_imgSkin.GetBitmapSize();
    const int subWidth = m_imgSkin.m_nSubWidth;
    const int w = (index == -1 || subWidth == 0) ? size.cx : subWidth;
    if (w <= 0 || size.cy <= 0)
        return;
    if (subWidth == 0)
        index = -1;     // one image: every state draws it
    // The sub-image's own left edge; one past the strip draws nothing.
    const int L = std::min(std::max(m_nLeft, 0), w - 1);
    const int R = w - L - 1;
    RECT rc = rcDraw;
    if (rc.right - rc.left < w)
        rc.right = rc.left + w;

    const CBkImage& image = m_imgSkin;
    BkCopyImagePart(hdc, image, rc.left, rc.top, L, size.cy, 0, 0, index);
    BkCopyImagePart(hdc, image, rc.right - R, rc.top, R, size.cy, L + 1, 0, index);
    BkStretchImage(image, hdc, rc.left + L, rc.top, rc.right - rc.left - L - R, size.cy, L, 0, 1, size.cy, index);
}

SIZE CBkSkinImgHorzExtend::GetSkinSize()
{
    SIZE size = {0, m_imgSkin.GetBitmapSize().cy};
    return size;
}

// ---------------------------------------------------------------- gradation

HRESULT CBkSkinGradation::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    if (strName == "from") {
        m_crFrom = BkParseColor(strValue);
        return kTaken;
    }
    if (strName == "to") {
        m_crTo = BkParseColor(strValue);
        return kTaken;
    }
    if (strName == "size") {
        m_nSize = BkParseInt(strValue);
        return kTaken;
    }
    if (strName == "direction") {
        if (strValue == "horz")
            m_bVertical = FALSE;
        else if (strValue == "vert")
            m_bVertical = TRUE;
        else
            return E_FAIL;
        return kTaken;
    }
    return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
}

void CBkSkinGradation::Draw(HDC hdc, const RECT& rcDraw, DWORD /*dwState*/)
{
    BkFillSolidRect(hdc, rcDraw, m_crTo);
    // Intersect rather than replace the clip, so a caller's own clip (the
    // view's dirty region) still holds.
    platform::SaveDCScope saved(hdc);
    ::IntersectClipRect(hdc, rcDraw.left, rcDraw.top, rcDraw.right, rcDraw.bottom);
    RECT rc = rcDraw;
    if (m_bVertical) {
        if (m_nSize > 0 && m_nSize < rc.bottom - rc.top)
            rc.bottom = rc.top + m_nSize;
    } else {
        if (m_nSize >= 1 && m_nSize < rc.right - rc.left)
            rc.right = rc.left + m_nSize;
    }
    BkGradientFill(hdc, rc, m_crFrom, m_crTo, m_bVertical);
}
