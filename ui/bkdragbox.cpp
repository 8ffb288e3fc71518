#include "ui/bkdragbox.h"

#include "platform/window.h"

CBkDragBox::CBkDragBox(UINT layoutId, int lineHeight) : CBkDialogImpl<CBkDragBox>(layoutId), m_nLineHeight(lineHeight) {
    // A drag box is a plain outline: no drop shadow of its own.
    EnableShadow(FALSE);
}

HWND CBkDragBox::CreateHidden(HWND owner) {
    HWND hwnd = Create(owner);
    if (hwnd == nullptr) return nullptr;
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    return hwnd;
}

void CBkDragBox::ShowAt(const RECT& rc) {
    if (!IsWindow()) return;
    const int height = m_nLineHeight > 0 ? m_nLineHeight : rc.bottom - rc.top;
    UINT flags = SWP_NOACTIVATE | SWP_NOZORDER;
    if (!IsWindowVisible()) flags |= SWP_SHOWWINDOW;
    SetWindowPos(nullptr, rc.left, rc.top, rc.right - rc.left, height, flags);
    UpdateLayered();
}

HWND CBkDragBox::CreateFrame(HWND hWndParent, const RECT& rc, LPCWSTR lpszTitle, DWORD dwStyle, DWORD dwExStyle) {
    // A bare box: without a system menu or a sizing frame a desktop's window
    // manager leaves it alone (Wine makes it an override-redirect X window,
    // deciding so when the window is made), so it can be raised over the
    // program's other unmanaged windows, the result list among them, and it
    // never takes the activation.
    dwStyle &= ~static_cast<DWORD>(WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    return CBkDialogImpl<CBkDragBox>::CreateFrame(hWndParent, rc, lpszTitle, dwStyle, dwExStyle);
}

void CBkDragBox::BringAboveAll() {
    if (IsWindow()) platform::RaiseAboveAll(Handle());
}

void CBkDragBox::Hide() {
    if (IsWindow()) ShowWindow(SW_HIDE);
}

BOOL CBkDragBox::UpdateLayered() {
    return BkUpdateLayeredView(Handle(), m_richView, m_nLineHeight);
}

LRESULT CBkDragBox::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    ModifyStyleEx(0, WS_EX_LAYERED);
    PostMessage(WM_LAYERED_REFRESH);
    return TRUE;
}

LRESULT CBkDragBox::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    UpdateLayered();
    return 0;
}
