#pragma once
// Activation offered by a window manager instead of asked for by a click.
//
// Under Wine on an X desktop the window manager may hand the focus to a
// window the program showed without activating it (a panel that has just
// appeared); Wine then asks the window with WM_MOUSEACTIVATE as if its
// caption had been clicked. Windows that must not take the keyboard away
// from where the user types answer that with MA_NOACTIVATE, and Wine keeps
// the focus where it is. A real click into the window (client hit test)
// activates it as usual.
//
//   ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
//   LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
//       return platform::RefuseOfferedActivation(lParam, bHandled);
//   }
#include <windows.h>

namespace platform {

// MA_NOACTIVATE unless the hit test of `lParam` is the client area; then
// the message goes on to the default handling (bHandled cleared).
LRESULT RefuseOfferedActivation(LPARAM lParam, BOOL& bHandled);

}  // namespace platform
