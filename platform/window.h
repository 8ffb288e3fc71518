#pragma once
// A non-owning window handle with the thin methods that window code calls
// every day. Copying it copies the handle; it never destroys the window.
#include <windows.h>

#include <string>

namespace platform {

class Window {
public:
    Window() noexcept = default;
    Window(HWND hwnd) noexcept : hwnd_(hwnd) {}  // NOLINT: converts like the handle it holds
    Window& operator=(HWND hwnd) noexcept { hwnd_ = hwnd; return *this; }

    HWND Handle() const noexcept { return hwnd_; }
    operator HWND() const noexcept { return hwnd_; }
    void Attach(HWND hwnd) noexcept { hwnd_ = hwnd; }
    HWND Detach() noexcept { HWND h = hwnd_; hwnd_ = nullptr; return h; }

    // True only for a handle that names a live window; a stale or null handle
    // answers false, so callers never act on a window that is gone.
    bool IsWindow() const noexcept { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }
    bool DestroyWindow() noexcept;

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const noexcept {
        return ::SendMessageW(hwnd_, msg, wp, lp);
    }
    // Posts only to a live window; answers false otherwise.
    bool PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const noexcept;

    bool ShowWindow(int cmd) const noexcept { return ::ShowWindow(hwnd_, cmd) != FALSE; }
    bool IsWindowVisible() const noexcept { return ::IsWindowVisible(hwnd_) != FALSE; }
    bool IsWindowEnabled() const noexcept { return ::IsWindowEnabled(hwnd_) != FALSE; }
    bool EnableWindow(bool enable) const noexcept { return ::EnableWindow(hwnd_, enable) != FALSE; }
    bool IsIconic() const noexcept { return ::IsIconic(hwnd_) != FALSE; }
    bool IsZoomed() const noexcept { return ::IsZoomed(hwnd_) != FALSE; }

    bool MoveWindow(int x, int y, int cx, int cy, bool repaint = true) const noexcept {
        return ::MoveWindow(hwnd_, x, y, cx, cy, repaint) != FALSE;
    }
    bool MoveWindow(const RECT& rc, bool repaint = true) const noexcept {
        return MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, repaint);
    }
    bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const noexcept {
        return ::SetWindowPos(hwnd_, insertAfter, x, y, cx, cy, flags) != FALSE;
    }
    RECT GetWindowRect() const noexcept;
    RECT GetClientRect() const noexcept;
    bool ScreenToClient(POINT* pt) const noexcept { return ::ScreenToClient(hwnd_, pt) != FALSE; }
    bool ClientToScreen(POINT* pt) const noexcept { return ::ClientToScreen(hwnd_, pt) != FALSE; }
    // Places the window over the centre of `around` (the owner when null) and
    // keeps it inside the work area of that monitor.
    bool CenterWindow(HWND around = nullptr) const noexcept;

    bool Invalidate(bool erase = false) const noexcept { return ::InvalidateRect(hwnd_, nullptr, erase) != FALSE; }
    bool InvalidateRect(const RECT* rc, bool erase = false) const noexcept {
        return ::InvalidateRect(hwnd_, rc, erase) != FALSE;
    }
    bool UpdateWindow() const noexcept { return ::UpdateWindow(hwnd_) != FALSE; }

    DWORD GetStyle() const noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)); }
    DWORD GetExStyle() const noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)); }
    // Removes, then adds the bits; `swpFlags` non-zero also applies the
    // change to the frame with SetWindowPos. Answers whether the style changed.
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const noexcept;
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0) const noexcept;

    HWND GetParent() const noexcept { return ::GetParent(hwnd_); }
    HWND GetOwner() const noexcept { return ::GetWindow(hwnd_, GW_OWNER); }
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }
    int GetDlgCtrlID() const noexcept { return ::GetDlgCtrlID(hwnd_); }
    HWND SetFocus() const noexcept { return ::SetFocus(hwnd_); }
    bool IsChild(HWND other) const noexcept { return ::IsChild(hwnd_, other) != FALSE; }

    std::wstring GetWindowText() const;
    bool SetWindowText(const wchar_t* text) const noexcept { return ::SetWindowTextW(hwnd_, text) != FALSE; }
    void SetFont(HFONT font, bool redraw = true) const noexcept {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? 1 : 0);
    }

    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const noexcept { return ::SetTimer(hwnd_, id, elapseMs, nullptr); }
    bool KillTimer(UINT_PTR id) const noexcept { return ::KillTimer(hwnd_, id) != FALSE; }
    int GetScrollPos(int bar) const noexcept { return ::GetScrollPos(hwnd_, bar); }

protected:
    HWND hwnd_ = nullptr;
};

// Puts `window` at the top of the always-on-top band, in the X server's
// stacking too. Wine restacks an X window only when the window becomes the
// first of its own window list, and drops a move that changes nothing there
// while X may still have another window over it; so a window that is first
// already steps back one place before it goes to the top.
void RaiseAboveAll(HWND window);

} // namespace platform
