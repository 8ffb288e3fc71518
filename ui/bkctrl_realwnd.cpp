#include "ui/bkctrl_realwnd.h"

#include "ui/bknotify.h"

HWND CBkRealWnd::GetRealWindow() const {
    if (m_hWndContainer == nullptr || !::IsWindow(m_hWndContainer)) return nullptr;
    return ::GetDlgItem(m_hWndContainer, static_cast<int>(m_uCmdID));
}

BOOL CBkRealWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        break;  // the real window paints itself
    case WM_DESTROY:
        if (HWND real = GetRealWindow()) ::ShowWindow(real, SW_HIDE);
        break;
    case WM_WINDOWPOSCHANGED:
        OnPositionChanged(hWnd, wParam, lParam);
        break;
    case WM_SHOWWINDOW:
        OnShow(static_cast<BOOL>(wParam));
        break;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    lResult = 0;
    m_bMsgHandled = TRUE;
    return TRUE;
}

void CBkRealWnd::OnPositionChanged(HWND hWnd, WPARAM wParam, LPARAM lParam) {
    const RECT old = m_rcWindow;
    LRESULT ignored = 0;
    CBkWindow::HandleMessage(hWnd, WM_WINDOWPOSCHANGED, wParam, lParam, ignored);
    m_bMsgHandled = TRUE;

    HWND real = GetRealWindow();
    if (::EqualRect(&old, &m_rcWindow) && (m_bPlaced || real == nullptr)) return;
    if (real == nullptr) return;
    m_bPlaced = TRUE;

    const RECT rc = m_rcWindow;
    ::SetWindowPos(real, HWND_TOP, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOREDRAW);

    // The handler may reload the layout and delete this control: nothing of
    // this object is touched after the notification except through copies.
    HWND view = m_hWndContainer;
    BKNMREALWNDRESIZED nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = BKNM_REALWND_MOVED;
    nm.uItemID = m_uCmdID;
    nm.rcWnd = rc;
    ::SendMessageW(view, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));

    if (::IsWindow(real) && ::IsWindowVisible(real)) {
        ::InvalidateRect(real, nullptr, TRUE);
        ::SetWindowPos(real, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    }
}

void CBkRealWnd::OnShow(BOOL bShow) {
    HWND real = GetRealWindow();
    if (!bShow) {
        ModifyState(BKSTATE_HIDDEN, 0);
        if (real != nullptr) ::ShowWindow(real, SW_HIDE);
        return;
    }
    ModifyState(0, BKSTATE_HIDDEN);
    // Inside a hidden panel the real window stays hidden until the panel shows.
    if (!IsVisible(TRUE)) return;
    if (real != nullptr) ::ShowWindow(real, SW_SHOW);
}
