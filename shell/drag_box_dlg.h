#pragma once
// The bare layered window shown while the user drags: the outline of the bar
// (layout 122) or the 4 px edge line of a panel (layout 123).
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

class CDragBoxDlg : public CBkDialogImpl<CDragBoxDlg> {
public:
    static const UINT kOutlineLayout = 122;
    static const UINT kLineLayout = 123;
    static const int kLineHeight = 4;

    explicit CDragBoxDlg(UINT layout = kOutlineLayout);

    // Shows the box over the rectangle (screen) without activating it, and
    // paints it.
    void ShowAt(const RECT& rc);
    void Hide();
    // The layered repaint; a line is always drawn, and sized, 4 px tall.
    LRESULT UpdateLayered();

    WINDOW_MAP_BEGIN(CDragBoxDlg)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CDragBoxDlg>)
    WINDOW_MAP_END()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) { return UpdateLayered(); }
};
