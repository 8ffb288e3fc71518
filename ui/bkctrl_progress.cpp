#include "ui/bkctrl_progress.h"

#include <algorithm>
#include <cctype>
#include <cwchar>

#include "platform/gdi.h"
#include "platform/strconv.h"
#include "ui/bkskin.h"
#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

namespace {

CBkSkinBase* FindSkin(const std::string& name) {
    return name.empty() ? nullptr : BkSkin::GetSkin(name);
}

const UINT kPercentFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

} // namespace

DWORD BkParseUnsigned(const std::string& strValue) {
    size_t i = 0;
    while (i < strValue.size() && std::isspace(static_cast<unsigned char>(strValue[i]))) ++i;
    if (i < strValue.size() && strValue[i] == '+') ++i;
    unsigned long long value = 0;
    for (; i < strValue.size() && strValue[i] >= '0' && strValue[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned>(strValue[i] - '0');
        if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    }
    return static_cast<DWORD>(value);
}

HRESULT CBkProgress::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    DWORD* number = strName == "min"        ? &m_dwMin
                    : strName == "max"      ? &m_dwMax
                    : strName == "value"    ? &m_dwValue
                    : strName == "skinposx" ? &m_dwSkinPosX
                                            : nullptr;
    if (number != nullptr) {
        *number = BkParseUnsigned(strValue);
        return S_FALSE;
    }
    if (strName == "showpercent") {
        m_nShowPercent = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "progressbar") {
        m_nProgressBar = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "bgskin") {
        m_strBgSkin = strValue;
        return S_OK;
    }
    if (strName == "posskin") {
        m_strPosSkin = strValue;
        return S_OK;
    }
    return E_FAIL;
}

double CBkProgress::NormalizeFraction() {
    if (m_dwMax == m_dwMin) return 0.0;
    if (m_dwMax < m_dwMin) std::swap(m_dwMin, m_dwMax);
    m_dwValue = std::min(std::max(m_dwValue, m_dwMin), m_dwMax);
    return static_cast<double>(m_dwValue - m_dwMin) / static_cast<double>(m_dwMax - m_dwMin);
}

int CBkProgress::GetPercent() const {
    if (m_dwMax == m_dwMin) return 0;
    const DWORD lo = std::min(m_dwMin, m_dwMax);
    const DWORD hi = std::max(m_dwMin, m_dwMax);
    const DWORD value = std::min(std::max(m_dwValue, lo), hi);
    return static_cast<int>(static_cast<unsigned long long>(value - lo) * 100u / (hi - lo));
}

std::wstring CBkProgress::PercentText(int nPercent) const {
    wchar_t text[32];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d%%", nPercent);
    return text;
}

void CBkProgress::GetBarInsets(int nWidth, int nHeight, int cySkin, int* pdx, int* pdy) const {
    if (cySkin < 0) {
        *pdx = 2;
        *pdy = 2;
        return;
    }
    const DWORD half = static_cast<DWORD>(std::max(0, nWidth / 2));
    *pdx = static_cast<int>(std::min(m_dwSkinPosX, half));
    *pdy = (nHeight - cySkin) / 2;
}

BOOL CBkProgress::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        m_bMsgHandled = TRUE;
        lResult = 0;
        OnProgressPaint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_NCCALCSIZE: {
        m_bMsgHandled = TRUE;
        lResult = 1;
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        if (size == nullptr) return TRUE;
        OnNcCalcSize(static_cast<BOOL>(wParam), size);
        if (CBkSkinBase* bg = FindSkin(m_strBgSkin)) size->cy = bg->GetSkinSize().cy;
        return TRUE;
    }
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
}

void CBkProgress::StepBlock() {
    RECT start = m_rcWindow;
    ::InflateRect(&start, -2, -2);
    start.right = start.left;
    if (m_bFirstPaint) {
        m_rcBlock = start;
        m_nBlockAnchor = start.left;
        m_bFirstPaint = 0;
    }
    const LONG right = m_rcWindow.right;
    if (m_rcBlock.right <= m_nBlockAnchor + kBlockGrowLimit) {
        m_rcBlock.right += kBlockStep;
    } else if (m_rcBlock.right >= 31 && m_rcBlock.right <= right) {
        m_rcBlock.left += kBlockStep;
        m_rcBlock.right += kBlockStep;
    } else if (m_rcBlock.right >= right) {
        m_rcBlock.left += kBlockStep;
        m_rcBlock.right = right;
        if (m_rcBlock.left >= right) m_rcBlock = start;
    }
}

void CBkProgress::FillBar(HDC hdc, const RECT& rc) {
    ::RoundRect(hdc, rc.left, rc.top, rc.right, rc.bottom, 2, 2);
    COLORREF old = ::SetBkColor(hdc, kBarColor);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(hdc, old);
}

void CBkProgress::OnProgressPaint(HDC hdc) {
    if (hdc == nullptr) return;
    CBkSkinBase* bg = FindSkin(m_strBgSkin);
    CBkSkinBase* pos = FindSkin(m_strPosSkin);
    TextDcScope scope(*this, hdc);

    const double fraction = NormalizeFraction();
    const std::wstring text = m_nShowPercent ? PercentText(GetPercent()) : std::wstring();
    RECT filled = m_rcWindow;
    {
        platform::Pen pen(::CreatePen(PS_SOLID, 1, kOutlineColor));
        platform::SelectObjectScope penScope(hdc, pen.Get());

        if (bg != nullptr)
            bg->Draw(hdc, m_rcWindow, 0);
        else
            ::RoundRect(hdc, m_rcWindow.left, m_rcWindow.top, m_rcWindow.right, m_rcWindow.bottom, 2, 2);

        if (m_nShowPercent) {
            RECT rc = m_rcWindow;
            ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, kPercentFormat);
        }

        const int width = m_rcWindow.right - m_rcWindow.left;
        const int height = m_rcWindow.bottom - m_rcWindow.top;
        if (m_nProgressBar) {
            StepBlock();
            // A control narrower than the block keeps the block inside it.
            RECT block;
            if (::IntersectRect(&block, &m_rcBlock, &m_rcWindow)) FillBar(hdc, block);
        } else {
            int dx = 0;
            int dy = 0;
            GetBarInsets(width, height, pos != nullptr ? static_cast<int>(pos->GetSkinSize().cy) : -1, &dx, &dy);
            ::InflateRect(&filled, -dx, -dy);
            // An inset wider than the control leaves no bar, not an
            // inverted one that GDI would draw outside the control.
            const LONG barWidth = std::max<LONG>(0, filled.right - filled.left);
            filled.right = filled.left + static_cast<LONG>(barWidth * fraction);
            if (filled.right > filled.left && filled.bottom > filled.top) {
                if (pos != nullptr)
                    pos->Draw(hdc, filled, 0);
                else
                    FillBar(hdc, filled);
            }
        }
    }
    m_rcFilled = filled;

    if (!m_nShowPercent) return;
    // The text again, clipped to the bar, in the background colour.
    platform::Region saved(::CreateRectRgn(0, 0, 0, 0));
    const bool hadClip = saved && ::GetClipRgn(hdc, saved.Get()) == 1;
    platform::Region clip(::CreateRectRgn(filled.left, filled.top, filled.right, filled.bottom));
    // Kept inside the caller's clip: the bar never lets text out of the
    // region being painted.
    if (hadClip) ::CombineRgn(clip.Get(), clip.Get(), saved.Get(), RGN_AND);
    ::SelectClipRgn(hdc, clip.Get());

    COLORREF color = m_crBg != CLR_INVALID ? m_crBg : GetStyle().m_crBg;
    if (color == CLR_INVALID) color = RGB(0xFF, 0xFF, 0xFF);
    COLORREF oldColor = ::SetTextColor(hdc, color);
    RECT rc = m_rcWindow;
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, kPercentFormat);
    ::SetTextColor(hdc, oldColor);
    ::SelectClipRgn(hdc, hadClip ? saved.Get() : nullptr);
}

HRESULT CBkProgressEx::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkProgress::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "extendtext") {
        m_strExtendText = platform::Utf8ToWide(strValue);
        return S_OK;
    }
    if (strName == "posimg_left") {
        m_nPosImgLeft = BkParseInt(strValue);
        return S_FALSE;
    }
    return E_FAIL;
}

std::wstring CBkProgressEx::PercentText(int nPercent) const {
    return CBkProgress::PercentText(nPercent) + m_strExtendText;
}

void CBkProgressEx::GetBarInsets(int, int nHeight, int cySkin, int* pdx, int* pdy) const {
    // No limit at the far side, but a negative inset would draw the bar
    // outside the control.
    *pdx = std::max(0, m_nPosImgLeft);
    *pdy = cySkin < 0 ? 2 : (nHeight - cySkin) / 2;
}
