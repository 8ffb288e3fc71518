#include "ui/bkctrl_button.h"

#include "ui/bkskin.h"
#include "ui/bkstyle.h"

HRESULT CBkSkinBtnWnd::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "skin") {
        m_strSkin = strValue;
        return S_OK;
    }
    return E_FAIL;
}

CBkSkinBase* CBkSkinBtnWnd::FindButtonSkin() const {
    const std::string& name = m_strSkin.empty() ? GetStyle().m_strSkinName : m_strSkin;
    return name.empty() ? nullptr : BkSkin::GetSkin(name);
}

DWORD CBkSkinBtnWnd::GetSkinIndex() const {
    if (m_dwState & BKSTATE_DISABLED) return 3;
    if (m_dwState & BKSTATE_PUSHED) return 2;
    if (m_dwState & BKSTATE_HOVER) return 1;
    return 0;
}

BOOL CBkSkinBtnWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnButtonPaint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_NCCALCSIZE: {
        m_bMsgHandled = TRUE;
        lResult = 0;
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        if (size == nullptr) return TRUE;
        OnNcCalcSize(static_cast<BOOL>(wParam), size);
        if (CBkSkinBase* skin = FindButtonSkin()) {
            SIZE skinSize = skin->GetSkinSize();
            if (skinSize.cx != 0) size->cx = skinSize.cx;
            if (skinSize.cy != 0) size->cy = skinSize.cy;
            lResult = 1;
        }
        return TRUE;
    }
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

void CBkSkinBtnWnd::OnButtonPaint(HDC hdc) {
    if (hdc == nullptr) return;
    TextDcScope scope(*this, hdc);
    if (CBkSkinBase* skin = FindButtonSkin()) skin->Draw(hdc, m_rcWindow, GetSkinIndex());
    if (m_strInnerText.empty()) return;

    if (m_uTextFormat == 0) m_uTextFormat = GetStyle().m_nTextAlign;
    InnerTextOptions options;
    options.alwaysLiftYaHei = true;
    options.fixedAlpha = 254;
    options.useStyleHint = false;
    DrawInnerText(hdc, scope.rcText, options);
}
