#pragma once
// Static text ("text") and push button ("button"): plain controls that draw
// and measure as the base does. The button redraws on every state change
// and is one of the classes the view treats as clickable.
#include "ui/bkwnd.h"

class CBkStatic : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("text")
};

class CBkButton : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("button")

public:
    BOOL NeedsRedrawOnStateChange() override { return TRUE; }
};
