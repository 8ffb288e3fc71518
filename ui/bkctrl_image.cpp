#include "ui/bkctrl_image.h"

#include <algorithm>
#include <cwchar>
#include <cstdlib>
#include <objidl.h>
#include <gdiplus.h>

#include "platform/strconv.h"
#include "ui/bkctrl_group.h"
#include "ui/bkfontpool.h"
#include "ui/bkskin.h"
#include "ui/bkvalue.h"

namespace {

CBkSkinBase* FindSkin(const std::string& name) {
    return name.empty() ? nullptr : BkSkin::GetSkin(name);
}

int ClampOffset(long long value) {
    if (value > BK_MAX_OFFSET) return BK_MAX_OFFSET;
    if (value < -BK_MAX_OFFSET) return -BK_MAX_OFFSET;
    return static_cast<int>(value);
}

LONG FontHeight(HGDIOBJ font) {
    LOGFONTW lf = {};
    if (font == nullptr || ::GetObjectW(font, sizeof(lf), &lf) == 0) return 0;
    return lf.lfHeight;
}

} // namespace

// ---------------------------------------------------------------------------
// img, img_h

CBkImageWnd::CBkImageWnd()
    : m_nSub(-1), m_nCaptionTop(-1), m_nIcoTop(-1), m_nClipType(0), m_nAlpha(-1) {}

CBkImageWnd::~CBkImageWnd() {
    BkControlGroups::LeaveAllGroups(this);
}

BOOL CBkImageWnd::Load(const TiXmlElement* pXmlElem) {
    if (!CBkWindow::Load(pXmlElem)) return FALSE;
    if (!m_strGroup.empty()) BkControlGroups::JoinGroup(this, m_strGroup);
    return TRUE;
}

HRESULT CBkImageWnd::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    if (strName == "sub") {
        m_nSub = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "skin") {
        m_strSkin = strValue;
        return S_OK;
    }
    if (strName == "ico") {
        m_strIco = strValue;
        return S_OK;
    }
    if (strName == "caption") {
        m_strCaption = platform::Utf8ToWide(strValue);
        return S_OK;
    }
    if (strName == "caption_top") {
        m_nCaptionTop = ClampOffset(BkParseInt(strValue));
        return S_FALSE;
    }
    if (strName == "ico_top") {
        m_nIcoTop = ClampOffset(BkParseInt(strValue));
        return S_FALSE;
    }
    if (strName == "group") {
        m_strGroup = strValue;
        return S_FALSE;
    }
    if (strName == "mask") {
        m_strMask = strValue;
        return S_OK;
    }
    if (strName == "cliptype") {
        m_nClipType = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "alpha") {
        m_nAlpha = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "clipparam") {
        m_strClipParam = platform::AnsiToWide(strValue);
        return S_FALSE;
    }
    return E_FAIL;
}

int CBkImageWnd::ParseClipParams(const std::wstring& strText, int (&values)[BK_MAX_CLIP_PARAMS]) {
    for (int& v : values) v = 0;
    int count = 0;
    size_t start = 0;
    while (start <= strText.size() && count < BK_MAX_CLIP_PARAMS) {
        size_t comma = strText.find(L',', start);
        size_t end = comma == std::wstring::npos ? strText.size() : comma;
        if (end > start) {
            std::wstring piece = strText.substr(start, end - start);
            values[count++] = ClampOffset(std::wcstoll(piece.c_str(), nullptr, 10));
        }
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    return count;
}

BOOL CBkImageWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnImagePaint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_NCCALCSIZE:
        m_bMsgHandled = TRUE;
        lResult = OnImageNcCalcSize(static_cast<BOOL>(wParam), reinterpret_cast<SIZE*>(lParam));
        return TRUE;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

void CBkImageWnd::OnImagePaint(HDC hdc) {
    CBkSkinBase* skin = FindSkin(m_strSkin);
    if (skin == nullptr || hdc == nullptr) return;

    if (m_nClipType <= 0) {
        skin->Draw(hdc, m_rcWindow, static_cast<DWORD>(m_nSub));
        return;
    }
    if (m_nClipType == 3) {
        int k[BK_MAX_CLIP_PARAMS];
        ParseClipParams(m_strClipParam, k);
        const LONG l = m_rcWindow.left;
        const LONG t = m_rcWindow.top;
        POINT points[3] = {{l + k[0], t + k[1]}, {l + k[2], t + k[3]}, {l + k[4], t + k[5]}};
        RECT src = {0, 0, m_rcWindow.right - m_rcWindow.left, m_rcWindow.bottom - m_rcWindow.top};
        skin->DrawToPoints(hdc, points, src);
        return;
    }
    DrawClipped(hdc, skin);
}

void CBkImageWnd::DrawClipped(HDC hdc, CBkSkinBase* pSkin) {
    using namespace Gdiplus;
    int k[BK_MAX_CLIP_PARAMS];
    ParseClipParams(m_strClipParam, k);
    const INT l = m_rcWindow.left;
    const INT t = m_rcWindow.top;
    const INT w = m_rcWindow.right - m_rcWindow.left;
    const INT h = m_rcWindow.bottom - m_rcWindow.top;

    GraphicsPath path;
    if (path.GetLastStatus() != Ok) return;  // GDI+ not started
    if (m_nClipType == 1) {
        path.AddPie(l + k[0], t + k[1], k[2], k[3], static_cast<REAL>(k[4]), static_cast<REAL>(k[5]));
        path.CloseFigure();
    } else if (m_nClipType == 2) {
        path.AddRectangle(Rect(l + k[0], t + k[1], k[2], k[3]));
        path.CloseFigure();
    }
    // Any other type keeps the path empty, which clips everything away.

    Graphics graphics(hdc);
    if (graphics.GetLastStatus() != Ok) return;
    graphics.SetSmoothingMode(SmoothingModeAntiAlias);
    graphics.SetSmoothingMode(SmoothingModeHighQuality);
    graphics.SetClip(&path, CombineModeReplace);

    ImageAttributes attributes;
    if (m_nAlpha >= 0) {
        ColorMatrix matrix = {};
        for (int i = 0; i < 5; ++i) matrix.m[i][i] = 1.0f;
        matrix.m[3][3] = static_cast<REAL>(m_nAlpha) / 100.0f;
        attributes.SetColorMatrix(&matrix, ColorMatrixFlagsDefault, ColorAdjustTypeBitmap);
    }
    pSkin->DrawWithAttributes(&graphics, Rect(l, t, w, h), Rect(0, 0, w, h), &attributes);
}

LRESULT CBkImageWnd::OnImageNcCalcSize(BOOL bCalcValidRects, SIZE* pSize) {
    if (pSize == nullptr) return 0;
    OnNcCalcSize(bCalcValidRects, pSize);
    CBkSkinBase* skin = FindSkin(m_strSkin);
    if (skin == nullptr) return 0;
    SIZE size = skin->GetSkinSize();
    if (size.cx != 0) pSize->cx = size.cx;
    if (size.cy != 0) pSize->cy = size.cy;
    return 1;
}

// ---------------------------------------------------------------------------
// imgbtn

BOOL CBkImageBtnWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnButtonPaint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_LBUTTONUP:
        m_bMsgHandled = TRUE;
        lResult = 0;
        if (!m_strGroup.empty()) {
            if (m_dwState & BKSTATE_CHECKED)
                ModifyState(0, BKSTATE_CHECKED);
            else
                BkControlGroups::CheckInGroup(this, m_strGroup);
        }
        return TRUE;
    default:
        return CBkImageWnd::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

DWORD CBkImageBtnWnd::GetSkinIndex() const {
    if (!m_strGroup.empty() && BkControlGroups::IsGroupChecked(m_strGroup)) {
        if (m_dwState & (BKSTATE_CHECKED | BKSTATE_PUSHED)) return 2;
        if (m_dwState & BKSTATE_HOVER) return 1;
        return 0;
    }
    if (m_dwState & BKSTATE_DISABLED) return 3;
    if (m_dwState & BKSTATE_PUSHED) return 2;
    if (m_dwState & BKSTATE_HOVER) return 1;
    return 0;
}

void CBkImageBtnWnd::OnButtonPaint(HDC hdc) {
    if (hdc == nullptr) return;
    TextDcScope scope(*this, hdc);

    if (CBkSkinBase* skin = FindSkin(m_strSkin)) skin->Draw(hdc, m_rcWindow, GetSkinIndex());

    if (CBkSkinBase* ico = FindSkin(m_strIco)) {
        SIZE size = ico->GetSkinSize();
        const LONG x = m_rcWindow.left + (m_rcWindow.right - m_rcWindow.left - size.cx) / 2;
        const LONG y = m_nIcoTop < 1 ? m_rcWindow.top + (m_rcWindow.bottom - m_rcWindow.top - size.cy) / 2
                                     : m_rcWindow.top + m_nIcoTop;
        RECT rcIco = {x, y, x + size.cx, y + size.cy};
        ico->Draw(hdc, rcIco, 0);
        if (!(m_dwState & (BKSTATE_CHECKED | BKSTATE_HOVER))) {
            if (CBkSkinBase* mask = FindSkin(m_strMask)) mask->Draw(hdc, m_rcWindow, 0);
        }
    }

    DrawCaption(hdc);
}

void CBkImageBtnWnd::DrawCaption(HDC hdc) {
    if (m_strCaption.empty()) return;
    const int length = static_cast<int>(m_strCaption.size());
    SIZE extent = {0, 0};
    ::GetTextExtentPoint32W(hdc, m_strCaption.c_str(), length, &extent);

    RECT rc = m_rcWindow;
    rc.top = m_rcWindow.top + m_nCaptionTop;
    rc.bottom = rc.top + extent.cy;
    const LONG width = m_rcWindow.right - m_rcWindow.left;
    if (extent.cx > width) {
        const LONG excess = extent.cx - width;
        rc.left -= excess / 2;
        rc.right += excess - excess / 2;
    }

    if (BkFontPool::IsYaHeiDefault()) {
        const LONG defaultHeight = BkFontPool::GetDefaultHeight();
        const int d = static_cast<int>(defaultHeight - FontHeight(::GetCurrentObject(hdc, OBJ_FONT)));
        const int absDefault = static_cast<int>(defaultHeight < 0 ? -defaultHeight : defaultHeight);
        ::OffsetRect(&rc, 0, -(3 * d + 3));
        if (rc.bottom - rc.top < 3 * d + absDefault + 4) rc.bottom = rc.top + 3 * d + absDefault + 4;
    }
    ::DrawTextW(hdc, m_strCaption.c_str(), length, &rc, DT_SINGLELINE | DT_CENTER);
}

BOOL CBkFixedSizeImage::OnFixedNcCalcSize(WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    m_bMsgHandled = TRUE;
    SIZE* size = reinterpret_cast<SIZE*>(lParam);
    if (size != nullptr) {
        OnNcCalcSize(static_cast<BOOL>(wParam), size);
        // A negative size from a layout would give an inverted rectangle.
        size->cx = std::max(0, m_nCx);
        size->cy = std::max(0, m_nCy);
    }
    lResult = 1;
    return TRUE;
}

// ---------------------------------------------------------------------------
// imgbg

HRESULT CBkImageBg::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "skin") {
        m_strSkin = strValue;
        return S_OK;
    }
    int* field = strName == "fill" ? &m_nFill : strName == "cx" ? &m_nCx : strName == "cy" ? &m_nCy : nullptr;
    if (field == nullptr) return E_FAIL;
    *field = ClampOffset(BkParseInt(strValue));
    return S_FALSE;
}

BOOL CBkImageBg::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT: {
        m_bMsgHandled = TRUE;
        lResult = 0;
        HDC hdc = reinterpret_cast<HDC>(wParam);
        CBkSkinBase* skin = FindSkin(m_strSkin);
        if (hdc != nullptr && skin != nullptr && m_nFill != 0) skin->DrawTiled(hdc, m_rcWindow);
        return TRUE;
    }
    case WM_NCCALCSIZE:
        return OnFixedNcCalcSize(wParam, lParam, lResult);
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

// ---------------------------------------------------------------------------
// scrollimg

HRESULT CBkImageScroll::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "skin") {
        m_strSkin = strValue;
        return S_OK;
    }
    int* field = strName == "hscroll"   ? &m_nHScroll
                 : strName == "vscroll" ? &m_nVScroll
                 : strName == "cx"      ? &m_nCx
                 : strName == "cy"      ? &m_nCy
                 : strName == "hpos"    ? &m_nHPos
                 : strName == "vpos"    ? &m_nVPos
                                        : nullptr;
    if (field == nullptr) return E_FAIL;
    *field = ClampOffset(BkParseInt(strValue));
    return S_FALSE;
}

RECT CBkImageScroll::SourceRect(int nWidth, int nHeight, int cyImage) const {
    RECT src = {0, 0, 0, 0};
    if (m_nHScroll != 0) {
        src.left = m_nHPos;
        src.right = m_nHPos + nWidth;
        src.bottom = nHeight;
    } else if (m_nVScroll != 0) {
        src.right = nWidth;
        src.top = cyImage - nHeight - m_nVPos;
        src.bottom = cyImage - m_nVPos;
    }
    return src;
}

BOOL CBkImageScroll::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT: {
        m_bMsgHandled = TRUE;
        lResult = 0;
        HDC hdc = reinterpret_cast<HDC>(wParam);
        CBkSkinBase* skin = FindSkin(m_strSkin);
        if (hdc != nullptr && skin != nullptr) {
            SIZE size = skin->GetSkinSize();
            RECT src = SourceRect(m_rcWindow.right - m_rcWindow.left, m_rcWindow.bottom - m_rcWindow.top, size.cy);
            skin->DrawStretch(hdc, m_rcWindow, src);
        }
        return TRUE;
    }
    case WM_NCCALCSIZE:
        return OnFixedNcCalcSize(wParam, lParam, lResult);
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}
