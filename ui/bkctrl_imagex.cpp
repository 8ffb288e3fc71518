#include "ui/bkctrl_imagex.h"

#include <algorithm>
#include <objidl.h>
#include <gdiplus.h>

#include "platform/strconv.h"
#include "ui/bkctrl_util.h"
#include "ui/bkskin.h"
#include "ui/bkvalue.h"

namespace {

// Sub-image indexes from layouts are untrusted; the cap keeps index x width
// far from overflowing (skins clip the source to their image anyway).
const int kMaxSubIndex = 4096;

int ClampSub(const std::string& value) {
    return std::min(std::max(BkParseInt(value), 0), kMaxSubIndex);
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

CBkSkinBase* FindSkin(const std::string& name) {
    return name.empty() ? nullptr : BkSkin::GetSkin(name);
}

// The handled paint of a control: WM_PAINT only, everything else to the base.
template <class Fn>
BOOL HandlePaint(CBkWindow& wnd, UINT uMsg, WPARAM wParam, LRESULT& lResult, Fn paint) {
    if (uMsg != WM_PAINT) return FALSE;
    if (HDC hdc = reinterpret_cast<HDC>(wParam)) paint(hdc);
    lResult = 0;
    wnd.SetMsgHandled(TRUE);
    return TRUE;
}

} // namespace

// ---- memimage ----

HRESULT CBkMemoryImage::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    // "mempointer" is not taken from text (SetImage is the way in).
    return E_FAIL;
}

BOOL CBkMemoryImage::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (HandlePaint(*this, uMsg, wParam, lResult, [this](HDC hdc) {
            if (m_pImage == nullptr || Width(m_rcWindow) <= 0 || Height(m_rcWindow) <= 0) return;
            Gdiplus::Graphics graphics(hdc);
            graphics.DrawImage(m_pImage,
                               Gdiplus::Rect(m_rcWindow.left, m_rcWindow.top, Width(m_rcWindow), Height(m_rcWindow)));
        }))
        return TRUE;
    return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
}

// ---- storageimage ----

HRESULT CBkStorageImage::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "filepath") {
        m_strFilePath = platform::Utf8ToWide(strValue);
        return S_OK;
    }
    if (strName == "subwidth") {
        m_nSubWidth = std::max(BkParseInt(strValue), 0);
        return S_OK;
    }
    if (strName == "sub") {
        m_nSub = ClampSub(strValue);
        return S_OK;
    }
    return E_FAIL;
}

void CBkStorageImage::Paint(HDC hdc) {
    if (m_strFilePath.empty() || Width(m_rcWindow) <= 0 || Height(m_rcWindow) <= 0) return;
    // Decoded at every paint so that the owner may rewrite the file meanwhile.
    Gdiplus::Image image(m_strFilePath.c_str());
    if (image.GetLastStatus() != Gdiplus::Ok) return;
    const int cx = static_cast<int>(image.GetWidth());
    const int cy = static_cast<int>(image.GetHeight());
    if (cx <= 0 || cy <= 0) return;

    int srcX = 0, srcW = cx;
    const int count = m_nSubWidth > 0 ? cx / m_nSubWidth : 0;
    if (count > 1) {
        srcX = (m_nSub % count) * m_nSubWidth;
        srcW = m_nSubWidth;
    }
    Gdiplus::Graphics graphics(hdc);
    graphics.DrawImage(&image, Gdiplus::Rect(m_rcWindow.left, m_rcWindow.top, Width(m_rcWindow), Height(m_rcWindow)),
                       srcX, 0, srcW, cy, Gdiplus::UnitPixel);
}

BOOL CBkStorageImage::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (HandlePaint(*this, uMsg, wParam, lResult, [this](HDC hdc) { Paint(hdc); })) return TRUE;
    return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
}

// ---- skin images ----

SIZE CBkSkinImageBase::SkinSize() const {
    SIZE size = {0, 0};
    if (CBkSkinBase* skin = FindSkin(m_strSkin)) size = skin->GetSkinSize();
    return size;
}

BOOL CBkSkinImageBase::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (HandlePaint(*this, uMsg, wParam, lResult, [this](HDC hdc) { Paint(hdc); })) return TRUE;
    if (uMsg == WM_NCCALCSIZE) {
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        // Both corners given in the layout win over the skin's size.
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        if (size != nullptr && m_dlgpos.count != 4) {
            const SIZE skin = SkinSize();
            if (skin.cx > 0) size->cx = skin.cx;
            if (skin.cy > 0) size->cy = skin.cy;
        }
        return TRUE;
    }
    return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
}

HRESULT CBkImgbtnsized::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "skin") m_strSkin = strValue;
    else if (strName == "skinmid") m_strSkinMid = strValue;
    else if (strName == "left") m_nLeft = BkParseInt(strValue);
    else return E_FAIL;
    return S_OK;
}

void CBkImgbtnsized::Paint(HDC hdc) {
    const DWORD index = (m_dwState & BKSTATE_PUSHED) ? 2 : ((m_dwState & BKSTATE_HOVER) ? 1 : 0);
    if (CBkSkinBase* skin = FindSkin(m_strSkin)) skin->Draw(hdc, m_rcWindow, index);
    if (CBkSkinBase* mid = FindSkin(m_strSkinMid)) {
        RECT rc = m_rcWindow;
        rc.left += m_nLeft;
        rc.right -= m_nLeft;
        if (rc.right > rc.left) mid->Draw(hdc, rc, index);
    }
}

HRESULT CBkImgGray::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "skin") m_strSkin = strValue;
    else if (strName == "gray") m_nGray = BkParseInt(strValue);
    else return E_FAIL;
    return S_OK;
}

void CBkImgGray::Paint(HDC hdc) {
    CBkSkinBase* skin = FindSkin(m_strSkin);
    if (skin == nullptr) return;
    const SIZE size = skin->GetSkinSize();
    const RECT src = {0, 0, size.cx, size.cy};
    if (m_nGray != 0)
        skin->DrawGray(hdc, m_rcWindow, src);
    else
        skin->DrawStretch(hdc, m_rcWindow, src);
}

HRESULT CBkImageEx::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "alpha") m_nAlpha = std::min(std::max(BkParseInt(strValue), 0), 255);
    else if (strName == "sub") m_nSub = ClampSub(strValue);
    else if (strName == "skin") m_strSkin = strValue;
    else return E_FAIL;
    return TRUE;
}

void CBkImageEx::Paint(HDC hdc) {
    CBkSkinBase* skin = FindSkin(m_strSkin);
    if (skin == nullptr) return;
    const SIZE size = skin->GetSkinSize();
    const RECT src = {size.cx * m_nSub, 0, size.cx * m_nSub + size.cx, size.cy};
    skin->DrawAlpha(hdc, m_rcWindow, src, static_cast<BYTE>(m_nAlpha));
}

HRESULT CBkImageRotale::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "angle") m_nAngle = BkParseInt(strValue) % 360;
    else if (strName == "sub") m_nSub = ClampSub(strValue);
    else if (strName == "skin") m_strSkin = strValue;
    else return E_FAIL;
    return TRUE;
}

void CBkImageRotale::Paint(HDC hdc) {
    CBkSkinBase* skin = FindSkin(m_strSkin);
    if (skin == nullptr) return;
    const SIZE size = skin->GetSkinSize();
    const RECT src = {size.cx * m_nSub, 0, size.cx * m_nSub + size.cx, size.cy};
    if (m_nAngle == 0) {
        skin->DrawStretch(hdc, m_rcWindow, src);
        return;
    }
    const int w = Width(m_rcWindow), h = Height(m_rcWindow);
    if (w <= 0 || h <= 0 || size.cx <= 0 || size.cy <= 0) return;
    Gdiplus::Graphics graphics(hdc);
    if (graphics.GetLastStatus() != Gdiplus::Ok) return;
    graphics.TranslateTransform(static_cast<Gdiplus::REAL>(m_rcWindow.left + w / 2),
                                static_cast<Gdiplus::REAL>(m_rcWindow.top + h / 2));
    graphics.RotateTransform(static_cast<Gdiplus::REAL>(m_nAngle));
    // Skins without a GDI+ image leave this a no-op: they cannot be rotated.
    skin->DrawWithAttributes(&graphics, Gdiplus::Rect(-w / 2, -h / 2, w, h),
                             Gdiplus::Rect(src.left, src.top, size.cx, size.cy), nullptr);
    graphics.ResetTransform();
}

// ---- hicon ----

CBkHIcon::~CBkHIcon() {
    if (m_nAutoDel != 0 && m_hIcon != nullptr) ::DestroyIcon(m_hIcon);
}

HRESULT CBkHIcon::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "autodel") {
        m_nAutoDel = BkParseInt(strValue);
        return TRUE;
    }
    // "handle" is not taken from text (SetIcon is the way in).
    return E_FAIL;
}

void CBkHIcon::SetIcon(HICON hIcon) {
    // Setting the same handle again must not destroy the icon still shown.
    if (m_nAutoDel != 0 && m_hIcon != nullptr && m_hIcon != hIcon) ::DestroyIcon(m_hIcon);
    m_hIcon = hIcon;
}

BOOL CBkHIcon::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (HandlePaint(*this, uMsg, wParam, lResult, [this](HDC hdc) {
            const int cx = Width(m_rcWindow), cy = Height(m_rcWindow);
            if (m_hIcon != nullptr && cx > 0 && cy > 0)
                ::DrawIconEx(hdc, m_rcWindow.left, m_rcWindow.top, m_hIcon, cx, cy, 0, nullptr, DI_NORMAL);
        }))
        return TRUE;
    return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
}
