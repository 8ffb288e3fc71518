#pragma once
// Activation offered by a window manager instead of asked for by a click.
//
// Under Wine on an X desktop the window manager may hand the focus to a
// window the program showed without activating it (a panel that has just
// appeared); Wine then asks the window with WM_MOUSEACTIVATE as if its
// caption had been clicked. While the keyboard is in another window of the
// program (the edit the user types into), windows that must not take it
// answer that with MA_NOACTIVATE, and Wine keeps the focus where it is. A
// real click into the window (client hit test) activates it as usual, and
// so does the offer when the program has no focus at all.
//
//   ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
//   LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
//       return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
//   }
#include <windows.h>

namespace platform {

// MA_NOACTIVATE for an offer to `window` (a hit test other than the client
// area) while the focus is in another window of this thread; otherwise the
// message goes on to the default handling (bHandled cleared).
LRESULT RefuseOfferedActivation(HWND window, LPARAM lParam, BOOL& bHandled);

}  // namespace platform
