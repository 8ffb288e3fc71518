#include "platform/activation.h"

namespace platform {

namespace {

// Whether the user can type where `focus` is: its top-level window is shown,
// enabled and not empty (the focus left in a window since hidden, or in a
// zero-sized owner window, counts for nothing; the window manager cannot
// give such a window the keyboard).
bool CanTypeInto(HWND focus) {
    HWND root = ::GetAncestor(focus, GA_ROOT);
    RECT rc = {};
    return root != nullptr && ::IsWindowVisible(root) && ::IsWindowEnabled(root) && !::IsIconic(root) &&
           ::GetWindowRect(root, &rc) && !::IsRectEmpty(&rc);
}

}  // namespace

LRESULT RefuseOfferedActivation(HWND window, LPARAM lParam, BOOL& bHandled) {
    HWND focus = ::GetFocus();
    const bool elsewhere = focus != nullptr && focus != window && !::IsChild(window, focus) && CanTypeInto(focus);
    if (LOWORD(lParam) == HTCLIENT || !elsewhere) {
        bHandled = FALSE;
        return 0;
    }
    return MA_NOACTIVATE;
}

}  // namespace platform
