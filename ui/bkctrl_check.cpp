#include "ui/bkctrl_check.h"

#include <algorithm>

#include "ui/bkctrl_group.h"
#include "ui/bkskin.h"
#include "ui/bkstyle.h"
#include "ui/bkthemeapi.h"
#include "ui/bkvalue.h"

namespace {

// Theme parts of the "BUTTON" class.
const int kPartRadioButton = 2;
const int kPartCheckBox = 3;

} // namespace

CBkMarkBox::CBkMarkBox(int nPart, int nMarkSize, int nTextOffset, UINT uClassicKind, bool bCentreMark,
                       const char* lpszSkin, const char* lpszSkinCheck)
    : m_strSkin(lpszSkin),
      m_strSkinCheck(lpszSkinCheck),
      m_nPart(nPart),
      m_nMarkSize(nMarkSize),
      m_nTextOffset(nTextOffset),
      m_uClassicKind(uClassicKind),
      m_bCentreMark(bCentreMark) {}

CBkMarkBox::~CBkMarkBox() {
    if (m_hTheme != nullptr) BkThemeApi::CloseThemeData(m_hTheme);
}

HRESULT CBkMarkBox::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    // Kept for the layouts that name them; the mark follows the state bit.
    if (strName == "check") {
        m_nCheck = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "skin") {
        m_strSkin = strValue;
        return S_FALSE;
    }
    if (strName == "skin_check") {
        m_strSkinCheck = strValue;
        return S_FALSE;
    }
    return E_FAIL;
}

int CBkMarkBox::GetThemeState() const {
    const bool disabled = IsDisabled(TRUE) != FALSE;
    const bool pushed = (m_dwState & BKSTATE_PUSHED) != 0;
    const bool hover = (m_dwState & BKSTATE_HOVER) != 0;
    const int base = (m_dwState & BKSTATE_CHECKED) ? 4 : 0;
    if (disabled) return base + 4;
    if (pushed) return base + 3;
    return base + (hover ? 2 : 1);
}

UINT CBkMarkBox::GetClassicFlags() const {
    UINT flags = DFCS_TRANSPARENT | m_uClassicKind;
    if (IsDisabled(TRUE)) flags |= DFCS_INACTIVE;
    if (m_dwState & BKSTATE_HOVER) flags |= DFCS_HOT;
    if (m_dwState & BKSTATE_PUSHED) flags |= DFCS_PUSHED;
    if (m_dwState & BKSTATE_CHECKED) flags |= DFCS_CHECKED;
    return flags;
}

RECT CBkMarkBox::GetMarkRect() const {
    RECT rc = m_rcWindow;
    rc.right = rc.left + m_nMarkSize;
    if (m_bCentreMark) {
        rc.top = m_rcWindow.top + (m_rcWindow.bottom - m_rcWindow.top - m_nMarkSize) / 2;
        rc.bottom = rc.top + m_nMarkSize;
    }
    return rc;
}

BOOL CBkMarkBox::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnMarkPaint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_NCCALCSIZE: {
        m_bMsgHandled = TRUE;
        lResult = 0;
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        if (size == nullptr) return TRUE;
        OnNcCalcSize(static_cast<BOOL>(wParam), size);
        size->cx += GetTextOffset();
        size->cy = std::max<LONG>(size->cy, m_nMarkSize);
        return TRUE;
    }
    case WM_LBUTTONUP:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnClick(lParam);
        return TRUE;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

void CBkMarkBox::OnMarkPaint(HDC hdc) {
    if (hdc == nullptr) return;
    RECT rcMark = GetMarkRect();
    // The skin's mark when the skin table has one, so that dialogs show the
    // same check box as the skinned popups; the system's look otherwise.
    bool drawn = DrawSkinMark(hdc);
    if (!drawn && m_hTheme == nullptr) m_hTheme = BkThemeApi::OpenThemeData(nullptr, L"BUTTON");
    if (!drawn && m_hTheme != nullptr)
        drawn = SUCCEEDED(BkThemeApi::DrawThemeBackground(m_hTheme, hdc, m_nPart, GetThemeState(), &rcMark, nullptr));
    if (!drawn) ::DrawFrameControl(hdc, &rcMark, DFC_BUTTON, GetClassicFlags());

    // The text sits beside the mark, centred on it vertically.
    m_uTextFormat = (GetStyle().m_nTextAlign & ~static_cast<UINT>(DT_BOTTOM)) | DT_VCENTER;
    const int offset = GetTextOffset();
    m_rcWindow.left += offset;
    OnPaint(hdc);
    m_rcWindow.left -= offset;
}

DWORD CBkMarkBox::GetSkinState() const {
    if (IsDisabled(TRUE)) return 3;
    if (m_dwState & BKSTATE_PUSHED) return 2;
    if (m_dwState & BKSTATE_HOVER) return 1;
    return 0;
}

CBkSkinBase* CBkMarkBox::FindMarkSkin() const {
    const std::string& name = (m_dwState & BKSTATE_CHECKED) ? m_strSkinCheck : m_strSkin;
    CBkSkinBase* skin = name.empty() ? nullptr : BkSkin::GetSkin(name);
    if (skin == nullptr) return nullptr;
    SIZE size = skin->GetSkinSize();
    return size.cx > 0 && size.cy > 0 ? skin : nullptr;
}

int CBkMarkBox::GetTextOffset() const {
    CBkSkinBase* skin = FindMarkSkin();
    return skin ? std::max<int>(m_nTextOffset, skin->GetSkinSize().cx + 4) : m_nTextOffset;
}

bool CBkMarkBox::DrawSkinMark(HDC hdc) {
    CBkSkinBase* skin = FindMarkSkin();
    if (skin == nullptr) return false;
    SIZE size = skin->GetSkinSize();
    // Centred on the height, as the text beside it is.
    RECT rc = m_rcWindow;
    rc.top += (m_rcWindow.bottom - m_rcWindow.top - size.cy) / 2;
    rc.right = rc.left + size.cx;
    rc.bottom = rc.top + size.cy;
    skin->Draw(hdc, rc, GetSkinState());
    return true;
}

CBkCheckBox::CBkCheckBox()
    : CBkMarkBox(kPartCheckBox, 13, 17, DFCS_BUTTONCHECK, false, "cmn_checkbox", "cmn_checkbox_check") {}

void CBkCheckBox::OnClick(LPARAM lParam) {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (!::PtInRect(&m_rcWindow, pt)) return;
    if (m_dwState & BKSTATE_CHECKED)
        ModifyState(0, BKSTATE_CHECKED);
    else
        ModifyState(BKSTATE_CHECKED, 0);
}

CBkRadioBox::CBkRadioBox()
    : CBkMarkBox(kPartRadioButton, 12, 14, DFCS_BUTTONRADIO, true, "cmn_radio", "cmn_radio_check") {}

CBkRadioBox::~CBkRadioBox() {
    BkControlGroups::LeaveAllGroups(this);
}

BOOL CBkRadioBox::Load(const TiXmlElement* pXmlElem) {
    if (!CBkMarkBox::Load(pXmlElem)) return FALSE;
    BkControlGroups::JoinGroup(this, m_strGroup);
    return TRUE;
}

HRESULT CBkRadioBox::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkMarkBox::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "group") {
        m_strGroup = strValue;
        return S_FALSE;
    }
    return E_FAIL;
}

void CBkRadioBox::OnClick(LPARAM) {
    BkControlGroups::CheckInGroup(this, m_strGroup);
}
