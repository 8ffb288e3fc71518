#include "shell/drag_box_dlg.h"

#include "shell/layered_view.h"

CDragBoxDlg::CDragBoxDlg(UINT layout) : CBkDialogImpl<CDragBoxDlg>(layout) { EnableShadow(FALSE); }

LRESULT CDragBoxDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    MakeLayered(Handle());
    return TRUE;
}

void CDragBoxDlg::ShowAt(const RECT& rc) {
    if (!IsWindow()) return;
    const int height = GetResID() == kLineLayout ? kLineHeight : rc.bottom - rc.top;
    ::SetWindowPos(Handle(), HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, height,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateLayered();
}

void CDragBoxDlg::Hide() {
    if (IsWindow()) ::ShowWindow(Handle(), SW_HIDE);
}

LRESULT CDragBoxDlg::UpdateLayered() {
    return UpdateLayeredView(*this, GetResID() == kLineLayout ? kLineHeight : -1);
}
