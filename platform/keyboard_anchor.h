#pragma once
// The keyboard for a window of this program, whatever window had it (the
// tray's, another program's), under Wine on an X desktop.
//
// Keys go to the X window that holds the X focus. Wine moves the X focus
// itself only into windows it leaves unmanaged; a managed window (a dialog,
// the search bar) gets it only when the window manager chooses to give it,
// and window managers refuse it to a window shown after another program's
// input. So a one-pixel, fully transparent, click-through popup that never
// activates itself (Wine leaves it unmanaged) lies over the window's corner:
// focusing it brings the X focus into this program, and the keys then go to
// the window that holds the focus within it, which the caller focuses next.
// Elsewhere it is only a brief change of activation.
//
//   anchor.Create(window);          // while the window may need the keys
//   anchor.Catch();                 // then activate and focus the window
//
// X takes a focus request only when it is newer than the last focus change,
// and Wine dates it by the message being handled: a caller whose first try
// may come too early (the window manager focusing something as the window
// maps) tries again from a posted message.
#include <windows.h>

namespace platform {

class KeyboardAnchor {
public:
    KeyboardAnchor() = default;
    ~KeyboardAnchor() { Destroy(); }
    KeyboardAnchor(const KeyboardAnchor&) = delete;
    KeyboardAnchor& operator=(const KeyboardAnchor&) = delete;

    // Makes and shows the anchor over the top left corner of `owner`, owned
    // by it; true when it exists (made now or before). It must stay while
    // the window holds the keys: X drops the focus of a window that goes.
    bool Create(HWND owner);
    void Destroy();
    HWND Handle() const { return m_hwnd; }
    // Whether `window` is the anchor (the activation it takes for a moment
    // is no loss of the keyboard for its owner).
    bool Is(HWND window) const { return window != nullptr && window == m_hwnd; }
    // Focuses the anchor, which brings the X focus into this program; the
    // caller then activates and focuses its own window. Nothing without an
    // anchor.
    void Catch() const;

private:
    HWND m_hwnd = nullptr;
};

}  // namespace platform
