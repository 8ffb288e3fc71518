#include "ui/bkctrl_slider.h"

#include <algorithm>

#include "ui/bkctrl_util.h"
#include "ui/bknotify.h"
#include "ui/bkskin.h"
#include "ui/bkvalue.h"

namespace {

const int kDefaultThumbWidth = 10;

POINT PointFromLParam(LPARAM lParam) {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return pt;
}

} // namespace

HRESULT BkSlider::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    if (strName == "sliderpos") {
        const int pos = std::min(std::max(BkParseInt(strValue), 0), 100);
        if (pos != m_nPos) {
            m_nPos = pos;
            UpdateThumb();
        }
        return S_OK;
    }
    if (strName == "skinbg") m_strSkinBg = strValue;
    else if (strName == "skin") m_strSkinThumb = strValue;
    else if (strName == "bgleftmargin") m_nBgLeftMargin = BkParseInt(strValue);
    else if (strName == "bgrightmargin") m_nBgRightMargin = BkParseInt(strValue);
    else if (strName == "bgtopmargin") m_nBgTopMargin = BkParseInt(strValue);
    else if (strName == "bgbottommargin") m_nBgBottomMargin = BkParseInt(strValue);
    else return E_FAIL;
    return TRUE;
}

int BkSlider::ThumbWidth() const {
    if (m_strSkinThumb.empty()) return kDefaultThumbWidth;
    CBkSkinBase* skin = BkSkin::GetSkin(m_strSkinThumb);
    if (skin == nullptr) return kDefaultThumbWidth;
    return std::max<int>(0, skin->GetSkinSize().cx);
}

int BkSlider::ClampThumbLeft(int left) const {
    // A thumb wider than the control stays at the left edge.
    const int right = std::max<int>(m_rcWindow.left, m_rcWindow.right - (m_rcThumb.right - m_rcThumb.left));
    return std::min(std::max<int>(left, m_rcWindow.left), right);
}

int BkSlider::PosFromThumbLeft(int left) const {
    const int track = (m_rcWindow.right - m_rcWindow.left) - (m_rcThumb.right - m_rcThumb.left);
    if (track <= 0) return 0;
    const long long pos = static_cast<long long>(left - m_rcWindow.left) * 100 / track;
    return static_cast<int>(std::min<long long>(std::max<long long>(pos, 0), 100));
}

void BkSlider::UpdateThumb() {
    const int width = ThumbWidth();
    const int track = (m_rcWindow.right - m_rcWindow.left) - width;
    const int left = m_rcWindow.left + (track > 0 ? static_cast<int>(static_cast<long long>(track) * m_nPos / 100) : 0);
    ::SetRect(&m_rcThumb, left, m_rcWindow.top, left + width, m_rcWindow.bottom);
}

LRESULT BkSlider::Notify(UINT uCode, int nOldPos, int nNewPos) {
    HWND view = m_hWndContainer;
    if (view == nullptr || !::IsWindow(view)) return 0;
    BKNMSLIDERPOS nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = uCode;
    nm.uItemID = m_uCmdID;
    nm.nOldPos = nOldPos;
    nm.nNewPos = nNewPos;
    nm.nResult = 0;
    ::SendMessageW(view, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    return nm.nResult;
}

void BkSlider::MoveThumbTo(int left) {
    const RECT previous = m_rcThumb;
    const int oldPos = PosFromThumbLeft(previous.left);
    ::OffsetRect(&m_rcThumb, left - m_rcThumb.left, 0);
    const int newPos = PosFromThumbLeft(left);
    if (newPos == m_nPos) return;  // a pixel move inside the same percent
    if (Notify(BKNM_SLIDER_POSCHANGING, oldPos, newPos) != 0)
        m_rcThumb = previous;
    else
        m_nPos = newPos;
}

void BkSlider::OnLButtonDown(POINT pt) {
    m_bDragging = TRUE;
    if (::PtInRect(&m_rcThumb, pt)) {
        m_nDragOffset = pt.x - m_rcThumb.left;
    } else {
        const int width = m_rcThumb.right - m_rcThumb.left;
        m_nDragOffset = width / 2;
        MoveThumbTo(ClampThumbLeft(pt.x - width / 2));
    }
    BkInvalidateControl(*this);
}

void BkSlider::OnMouseMoveThumb(POINT pt) {
    const BOOL hover = ::PtInRect(&m_rcThumb, pt);
    const BOOL hoverChanged = hover != m_bThumbHover;
    m_bThumbHover = hover;
    if (m_bDragging) {
        const int left = ClampThumbLeft(pt.x - m_nDragOffset);
        if (left != m_rcThumb.left) {
            MoveThumbTo(left);
            BkInvalidateControl(*this);
            return;
        }
    }
    if (hoverChanged) BkInvalidateControl(*this);
}

DWORD BkSlider::ModifyState(DWORD dwAdd, DWORD dwRemove) {
    const DWORD old = CBkWindow::ModifyState(dwAdd, dwRemove);
    if (dwAdd == 0 && dwRemove == BKSTATE_PUSHED && (old & BKSTATE_PUSHED) && m_bDragging) {
        m_bDragging = FALSE;
        BkInvalidateControl(*this);
        Notify(BKNM_SLIDER_POSCHANGED, m_nPos, m_nPos);
    }
    return old;
}

void BkSlider::Paint(HDC hdc) {
    if (hdc == nullptr) return;
    if (!m_strSkinBg.empty()) {
        if (CBkSkinBase* skin = BkSkin::GetSkin(m_strSkinBg)) {
            RECT rc = {m_rcWindow.left + m_nBgLeftMargin, m_rcWindow.top + m_nBgTopMargin,
                       m_rcWindow.right - m_nBgRightMargin, m_rcWindow.bottom - m_nBgBottomMargin};
            if (rc.right > rc.left && rc.bottom > rc.top) skin->Draw(hdc, rc, 0);
        }
    }
    if (!m_strSkinThumb.empty()) {
        if (CBkSkinBase* skin = BkSkin::GetSkin(m_strSkinThumb))
            skin->Draw(hdc, m_rcThumb, m_bDragging ? 2 : (m_bThumbHover ? 1 : 0));
    }
}

BOOL BkSlider::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        Paint(reinterpret_cast<HDC>(wParam));
        break;
    case WM_WINDOWPOSCHANGED:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        UpdateThumb();
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(PointFromLParam(lParam));
        break;
    case WM_MOUSEMOVE:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        OnMouseMoveThumb(PointFromLParam(lParam));
        break;
    case WM_MOUSELEAVE:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        m_bThumbHover = FALSE;
        BkInvalidateControl(*this);
        break;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    lResult = 0;
    m_bMsgHandled = TRUE;
    return TRUE;
}
