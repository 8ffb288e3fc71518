#include "ui/bkctrl_icon.h"

#include <algorithm>

#include "ui/bkvalue.h"

namespace {

// Icons larger than this are no icons; the cap keeps an absurd "size" from
// asking the loader for a huge bitmap.
const int kMaxIconSize = 256;

} // namespace

CBkIconWnd::~CBkIconWnd() {
    FreeIcon();
}

BOOL CBkIconWnd::Load(const TiXmlElement* pXmlElem) {
    if (!CBkWindow::Load(pXmlElem)) return FALSE;
    LoadIconHandle();
    return TRUE;
}

HRESULT CBkIconWnd::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    if (strName == "src") {
        m_nSrc = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "oem") {
        m_nOem = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "size") {
        m_nSize = std::min(std::max(BkParseInt(strValue), 0), kMaxIconSize);
        return S_FALSE;
    }
    return E_FAIL;
}

void CBkIconWnd::FreeIcon() {
    if (m_hIcon != nullptr && !m_bSharedIcon) ::DestroyIcon(m_hIcon);
    m_hIcon = nullptr;
    m_bSharedIcon = FALSE;
}

void CBkIconWnd::LoadIconHandle() {
    FreeIcon();
    const WORD id = static_cast<WORD>(m_nSrc & 0xFFFF);
    if (m_nOem != 0) {
        // LoadIconW hands out the system's shared copy, which must not be
        // destroyed by us.
        m_hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(id));
        m_bSharedIcon = TRUE;
    } else {
        m_hIcon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                  m_nSize, m_nSize, LR_DEFAULTCOLOR));
        m_bSharedIcon = FALSE;
    }
    m_nLoadedSrc = m_nSrc;
}

BOOL CBkIconWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        if (m_nSrc != m_nLoadedSrc) LoadIconHandle();
        const int cx = m_rcWindow.right - m_rcWindow.left;
        const int cy = m_rcWindow.bottom - m_rcWindow.top;
        // A zero extent would make DrawIconEx use the system size and draw
        // outside an empty control.
        if (m_hIcon != nullptr && hdc != nullptr && cx > 0 && cy > 0)
            ::DrawIconEx(hdc, m_rcWindow.left, m_rcWindow.top, m_hIcon, cx, cy, 0, nullptr, DI_NORMAL);
        lResult = 0;
        break;
    }
    case WM_NCCALCSIZE:
        // Both corners given in the layout win over the natural size.
        if (m_dlgpos.count == 4) return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        if (SIZE* size = reinterpret_cast<SIZE*>(lParam)) {
            size->cx = m_nSize;
            size->cy = m_nSize;
        }
        lResult = 1;
        break;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    m_bMsgHandled = TRUE;
    return TRUE;
}
