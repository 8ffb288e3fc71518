#pragma once
// Small helpers shared by the leaf controls for talking to their view.
#include <windows.h>

#include "ui/bknotify.h"
#include "ui/bkwnd.h"

// Asks the view that holds the control to repaint the control's rectangle.
// Skipped when the control is not (or no longer) in a live view.
inline void BkInvalidateControl(const CBkWindow& wnd) {
    HWND view = wnd.GetContainer();
    if (view == nullptr || !::IsWindow(view)) return;
    BKNMINVALIDATERECT nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = BKNM_INVALIDATERECT;
    nm.uItemID = wnd.GetCmdID();
    nm.rect = wnd.GetRect();
    ::SendMessageW(view, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}
