#pragma once
// The drag outline of the bar (layout 122) and the 4 px edge line of the
// result panel (layout 123): the framework's drag box with the shell's
// layouts.
#include "ui/bkdragbox.h"

class CDragBoxDlg : public CBkDragBox {
public:
    static const UINT kOutlineLayout = 122;
    static const UINT kLineLayout = 123;
    static const int kLineHeight = 4;

    explicit CDragBoxDlg(UINT layout = kOutlineLayout)
        : CBkDragBox(layout, layout == kLineLayout ? kLineHeight : 0) {}
};
