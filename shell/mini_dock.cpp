#include "shell/mini_dock.h"

#include "shell/layered_view.h"

CMiniDock::CMiniDock() : CBkDialogImpl<CMiniDock>(119) { EnableShadow(FALSE); }

LRESULT CMiniDock::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    MakeLayered(Handle());
    return 1;
}

LRESULT CMiniDock::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    UpdateLayeredView(*this);
    return 0;
}

void CMiniDock::Setup(BOOL listHadFocus, BOOL editVisible, BOOL resultPanelVisible, BOOL webPanelVisible, int left,
                      int top, int right, int bottom, HWND owner) {
    m_restore.ListHadFocus = listHadFocus ? 1 : 0;
    m_restore.EditVisible = editVisible ? 1 : 0;
    m_restore.ResultPanelVisible = resultPanelVisible ? 1 : 0;
    m_restore.WebPanelVisible = webPanelVisible ? 1 : 0;
    m_restore.DockBottom = 73;
    m_restore.StripLeft = left;
    m_restore.StripTop = top;
    m_restore.StripRight = right;
    m_restore.StripBottom = bottom;
    m_restore.Reserved = 40;
    m_hOwner = owner;
    m_bArmed = true;
    if (IsWindow()) ::SetTimer(Handle(), kHoverTimer, kHoverPeriod, nullptr);
}

void CMiniDock::Disarm() {
    m_bArmed = false;
    if (IsWindow()) {
        ::ShowWindow(Handle(), SW_HIDE);
        ::KillTimer(Handle(), kHoverTimer);
    }
}

void CMiniDock::RestoreNow() {
    if (!m_bArmed) return;
    // Disarmed first: the bar's restore may ask the strip again.
    Disarm();
    if (m_hOwner && ::IsWindow(m_hOwner))
        ::SendMessageW(m_hOwner, WM_TRAY_NOTIFY, reinterpret_cast<WPARAM>(&m_restore), 0);
}

LRESULT CMiniDock::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam != kHoverTimer) {
        bHandled = FALSE;
        return 0;
    }
    OnHoverTimer();
    return 0;
}

void CMiniDock::OnHoverTimer() {
    if (!m_bArmed || !IsWindowVisible()) return;
    POINT pt = {};
    RECT rc = {};
    if (!::GetCursorPos(&pt) || !::GetWindowRect(Handle(), &rc) || !::PtInRect(&rc, pt)) return;
    if (m_pfnFullScreen && m_pfnFullScreen()) return;
    // Not over a dialog or box of the program (the bar's own taller layout,
    // which this strip may serve, apart): it stays hidden until that ends.
    HWND modal = CBkDialogHost::RunningModal();
    if (modal && modal != m_hOwner) return;
    RestoreNow();
}
