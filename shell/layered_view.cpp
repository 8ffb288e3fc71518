#include "shell/layered_view.h"

#include "ui/bkdlgimpl.h"
#include "ui/bklayered.h"

BOOL UpdateLayeredView(CBkDialogHost& dlg, int bitmapHeight) {
    // The framework draws no rows for a height of 0, and treats it as "the
    // window's height"; keep an explicit 0 meaning nothing to draw.
    if (bitmapHeight == 0) return FALSE;
    return BkUpdateLayeredView(dlg.Handle(), dlg.GetViewControl(), bitmapHeight > 0 ? bitmapHeight : 0);
}

void MakeLayered(HWND hwnd) {
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::PostMessageW(hwnd, WM_LAYERED_REFRESH, 0, 0);
}
