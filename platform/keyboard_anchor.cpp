#include "platform/keyboard_anchor.h"

#include "platform/trace.h"

namespace platform {

bool KeyboardAnchor::Create(HWND owner) {
    if (m_hwnd && ::IsWindow(m_hwnd)) return true;
    m_hwnd = nullptr;
    RECT rc = {};
    if (owner == nullptr || !::GetWindowRect(owner, &rc)) return false;
    // Clicks and hit tests pass through it to the window under it.
    m_hwnd = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Static",
                               L"", WS_POPUP, rc.left, rc.top, 1, 1, owner, nullptr, ::GetModuleHandleW(nullptr),
                               nullptr);
    if (m_hwnd == nullptr) {
        TraceLastError("creating the keyboard anchor");
        return false;
    }
    ::SetLayeredWindowAttributes(m_hwnd, 0, 0, LWA_ALPHA);
    // Shown without activation: Wine leaves such a popup unmanaged.
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return true;
}

void KeyboardAnchor::Destroy() {
    if (m_hwnd && ::IsWindow(m_hwnd)) ::DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

void KeyboardAnchor::Catch() const {
    if (m_hwnd && ::IsWindow(m_hwnd) && ::IsWindowVisible(m_hwnd)) ::SetFocus(m_hwnd);
}

}  // namespace platform
