#include "platform/window.h"

#include <vector>

namespace platform {

bool Window::DestroyWindow() noexcept {
    if (!IsWindow()) return false;
    HWND h = hwnd_;
    hwnd_ = nullptr;
    return ::DestroyWindow(h) != FALSE;
}

bool Window::PostMessage(UINT msg, WPARAM wp, LPARAM lp) const noexcept {
    if (!IsWindow()) return false;
    return ::PostMessageW(hwnd_, msg, wp, lp) != FALSE;
}

RECT Window::GetWindowRect() const noexcept {
    RECT rc = {};
    if (!::GetWindowRect(hwnd_, &rc)) rc = RECT{};
    return rc;
}

RECT Window::GetClientRect() const noexcept {
    RECT rc = {};
    if (!::GetClientRect(hwnd_, &rc)) rc = RECT{};
    return rc;
}

bool Window::CenterWindow(HWND around) const noexcept {
    if (!IsWindow()) return false;
    if (around == nullptr) around = GetOwner();
    if (around == nullptr && (GetStyle() & WS_CHILD)) around = GetParent();

    RECT self = GetWindowRect();
    HMONITOR monitor = ::MonitorFromWindow(around ? around : hwnd_, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (!::GetMonitorInfoW(monitor, &mi)) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
    RECT area = mi.rcWork;

    RECT target = area;
    // A hidden or minimised owner is no place to centre on.
    if (around && ::IsWindowVisible(around) && !::IsIconic(around)) ::GetWindowRect(around, &target);

    const int w = self.right - self.left;
    const int h = self.bottom - self.top;
    int x = target.left + ((target.right - target.left) - w) / 2;
    int y = target.top + ((target.bottom - target.top) - h) / 2;
    if (x + w > area.right) x = area.right - w;
    if (y + h > area.bottom) y = area.bottom - h;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;

    if (GetStyle() & WS_CHILD) {
        POINT pt = {x, y};
        ::ScreenToClient(GetParent(), &pt);
        x = pt.x;
        y = pt.y;
    }
    return SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) const noexcept {
    DWORD old = GetStyle();
    DWORD now = (old & ~remove) | add;
    if (now == old) return false;
    ::SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(now));
    if (swpFlags)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return true;
}

bool Window::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) const noexcept {
    DWORD old = GetExStyle();
    DWORD now = (old & ~remove) | add;
    if (now == old) return false;
    ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(now));
    if (swpFlags)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return true;
}

std::wstring Window::GetWindowText() const {
    int len = ::GetWindowTextLengthW(hwnd_);
    if (len <= 0) return std::wstring();
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 1);
    int got = ::GetWindowTextW(hwnd_, buf.data(), len + 1);
    return std::wstring(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void RaiseAboveAll(HWND window) {
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (::GetWindow(window, GW_HWNDPREV) == nullptr) {
        if (HWND next = ::GetWindow(window, GW_HWNDNEXT)) ::SetWindowPos(window, next, 0, 0, 0, 0, flags);
    }
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
}

} // namespace platform
