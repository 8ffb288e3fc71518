#include "ui/bkctrl_line.h"

#include <algorithm>
#include <cstring>
#include <objidl.h>
#include <gdiplus.h>

#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

namespace {

// Layouts are untrusted: a pen wider than any screen only costs time.
const int kMaxLineSize = 1024;

} // namespace

HRESULT CBkLine::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    if (strName == "style") {
        static const char* const kStyles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot"};
        for (int i = 0; i < 5; ++i) {
            if (strValue == kStyles[i]) {
                m_nPenStyle = i;  // the GDI pen style numbers PS_SOLID..PS_DASHDOTDOT
                return S_FALSE;
            }
        }
        return E_FAIL;
    }
    if (strName == "size") {
        m_nLineSize = std::min(std::max(BkParseInt(strValue), 0), kMaxLineSize);
        return S_FALSE;
    }
    if (strName == "gdiplus") {
        m_nGdiplus = BkParseInt(strValue);
        return S_FALSE;
    }
    return E_FAIL;
}

BOOL CBkLine::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (uMsg != WM_PAINT) return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    DrawLine(reinterpret_cast<HDC>(wParam));
    lResult = 0;
    m_bMsgHandled = TRUE;
    return TRUE;
}

void CBkLine::DrawLine(HDC hdc) {
    if (hdc == nullptr) return;
    COLORREF color = m_crBg != CLR_INVALID ? m_crBg : GetStyle().m_crBg;
    // Without any colour there is nothing meaningful to draw.
    if (color == CLR_INVALID) return;
    const RECT& rc = m_rcWindow;

    if (m_nGdiplus != 0) {
        // GDI+ draws the line solid: the pen style is not applied.
        Gdiplus::Graphics graphics(hdc);
        if (graphics.GetLastStatus() != Gdiplus::Ok) return;
        Gdiplus::Pen pen(Gdiplus::Color(255, GetRValue(color), GetGValue(color), GetBValue(color)),
                         static_cast<Gdiplus::REAL>(m_nLineSize));
        graphics.DrawLine(&pen, static_cast<INT>(rc.left), static_cast<INT>(rc.top), static_cast<INT>(rc.right),
                          static_cast<INT>(rc.bottom));
        return;
    }

    HPEN pen = ::CreatePen(m_nPenStyle, m_nLineSize, color);
    if (pen == nullptr) return;
    HGDIOBJ old = ::SelectObject(hdc, pen);
    ::MoveToEx(hdc, rc.left, rc.top, nullptr);
    ::LineTo(hdc, rc.right, rc.bottom);
    ::SelectObject(hdc, old);
    ::DeleteObject(pen);
}
