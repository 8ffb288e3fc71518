#include "ui/bkshadowwnd.h"

#include <algorithm>

#include "platform/gdi.h"
#include "platform/trace.h"
#include "platform/window_class.h"
#include "ui/bkskin.h"

const wchar_t CShadowWnd::kClassName[] = L"BkShadowWndClass";

namespace {

RECT MakeRect(int l, int t, int r, int b) {
    RECT rc = {l, t, r, b};
    return rc;
}

bool IsEmptyRect(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

} // namespace

BkNinePart BkComputeNinePart(SIZE skin, SIZE target) {
    BkNinePart np;
    if (skin.cx <= 0 || skin.cy <= 0 || target.cx <= 0 || target.cy <= 0) return np;
    // The corner rule reads a skin of width 2c + 2; a skin narrower or lower
    // than that would be read outside its bounds, so c is bounded by both.
    int c = std::max<int>(0, std::min<int>((skin.cx - 2) / 2, (skin.cy - 2) / 2));
    // A target smaller than two corners gets its corners shrunk to fit.
    int d = std::min<int>(c, std::min<int>(target.cx / 2, target.cy / 2));

    const int sx[4] = {0, c, static_cast<int>(skin.cx) - c, static_cast<int>(skin.cx)};
    const int sy[4] = {0, c, static_cast<int>(skin.cy) - c, static_cast<int>(skin.cy)};
    const int dx[4] = {0, d, static_cast<int>(target.cx) - d, static_cast<int>(target.cx)};
    const int dy[4] = {0, d, static_cast<int>(target.cy) - d, static_cast<int>(target.cy)};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            RECT dst = MakeRect(dx[col], dy[row], dx[col + 1], dy[row + 1]);
            RECT src = MakeRect(sx[col], sy[row], sx[col + 1], sy[row + 1]);
            if (IsEmptyRect(dst) || IsEmptyRect(src)) continue;
            np.dst[np.count] = dst;
            np.src[np.count] = src;
            ++np.count;
        }
    }
    return np;
}

CShadowWnd::~CShadowWnd() {
    if (m_hShadow && ::IsWindow(m_hShadow)) ::DestroyWindow(m_hShadow);
    m_hShadow = nullptr;
}

BOOL CShadowWnd::Create(HWND owner) {
    if (m_bCreated) return HasWindows();
    if (owner == nullptr || !::IsWindow(owner)) return FALSE;

    platform::WindowClassSpec spec;
    spec.name = kClassName;
    spec.style = CS_HREDRAW | CS_VREDRAW;
    spec.proc = ::DefWindowProcW;
    spec.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    if (platform::RegisterWindowClass(spec) == 0) return FALSE;

    if (m_hShadow == nullptr || !::IsWindow(m_hShadow)) {
        // Owned by the window's own owner, not by the window: an owned
        // window would always stand above it. No system menu and no
        // activation, so that a window manager leaves it to us.
        const DWORD exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE |
                              (::GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST);
        m_hShadow = ::CreateWindowExW(exStyle, kClassName, nullptr, WS_POPUP, 0, 0, 0, 0,
                                      ::GetWindow(owner, GW_OWNER), nullptr, platform::CurrentModule(), nullptr);
        if (m_hShadow == nullptr) {
            platform::TraceLastError("CreateWindowExW(BkShadowWndClass)");
            return FALSE;
        }
    }
    if (m_hOwner == nullptr || !::IsWindow(m_hOwner)) m_hOwner = owner;
    m_dwStatus = SHADOW_ENABLED;
    m_bCreated = TRUE;
    return TRUE;
}

bool CShadowWnd::HasWindows() const {
    return m_hShadow && ::IsWindow(m_hShadow) && m_hOwner && ::IsWindow(m_hOwner);
}

void CShadowWnd::Hide() {
    if (m_hShadow && ::IsWindow(m_hShadow)) ::ShowWindow(m_hShadow, SW_HIDE);
}

void CShadowWnd::Appear() {
    Redraw();
    ::ShowWindow(m_hShadow, SW_SHOWNA);
    PlaceUnderOwner();
}

void CShadowWnd::PlaceUnderOwner() {
    if (m_bPlacing || !HasWindows() || !::IsWindowVisible(m_hShadow)) return;
    m_bPlacing = TRUE;
    const bool topmost = (::GetWindowLongPtrW(m_hOwner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    // Is the owner the first visible window (its shadow aside)?
    HWND above = ::GetWindow(m_hOwner, GW_HWNDPREV);
    while (above && (above == m_hShadow || !::IsWindowVisible(above))) above = ::GetWindow(above, GW_HWNDPREV);
    if (above == nullptr) {
        // Under an X server Wine only ever raises a window to the very top,
        // when it becomes the first of all: the shadow goes up first and
        // the window after it, so that there too the shadow ends up
        // directly under its window.
        ::SetWindowPos(m_hShadow, topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, flags);
        ::SetWindowPos(m_hOwner, topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, flags);
    } else {
        ::SetWindowPos(m_hShadow, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    }
    ::SetWindowPos(m_hShadow, m_hOwner, 0, 0, 0, 0, flags);
    m_bPlacing = FALSE;
}

BOOL CShadowWnd::FollowOwner(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_bCreated) return FALSE;
    if (msg == WM_DESTROY) {
        Hide();
        if (m_hShadow && ::IsWindow(m_hShadow)) ::DestroyWindow(m_hShadow);
        m_hShadow = nullptr;
        m_hOwner = nullptr;
        m_bCreated = FALSE;
        m_bDragging = FALSE;
        return FALSE;
    }
    if (!HasWindows()) return FALSE;

    RECT owner = {};
    ::GetWindowRect(m_hOwner, &owner);
    switch (msg) {
    case WM_PAINT:
        if (!m_bDragging && m_bRedrawPending) {
            Redraw();
            m_bRedrawPending = FALSE;
        }
        break;
    case WM_MOVE:
        if (!m_bDragging && IsShown()) {
            if (IsEmptyRect(owner)) {
                Hide();
                m_dwStatus &= ~SHADOW_SHOWN;
            } else {
                ::SetWindowPos(m_hShadow, nullptr, owner.left - kShadowSize, owner.top - kShadowSize, 0, 0,
                               SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
            }
        }
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            Hide();
            m_dwStatus &= ~SHADOW_SHOWN;
            m_lLastSize = lParam;
        } else if (!IsEmptyRect(owner) && ::IsWindowVisible(m_hOwner)) {
            m_dwStatus |= SHADOW_OWNER_VISIBLE;
            if (!IsShown()) {
                m_dwStatus |= SHADOW_SHOWN;
                Appear();
            } else if (lParam != m_lLastSize) {
                // A layered owner paints itself and never sees WM_PAINT, so
                // waiting for one would leave the shadow at the old size.
                if (::GetWindowLongPtrW(m_hOwner, GWL_EXSTYLE) & WS_EX_LAYERED) Redraw();
                else m_bRedrawPending = TRUE;
            }
            m_lLastSize = lParam;
        } else if (IsEmptyRect(owner)) {
            Hide();
            m_dwStatus &= ~SHADOW_SHOWN;
        }
        break;
    case WM_SHOWWINDOW:
        if ((m_dwStatus & SHADOW_ENABLED) && !wParam) {
            Hide();
            m_dwStatus &= ~(SHADOW_SHOWN | SHADOW_OWNER_VISIBLE);
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        // SetWindowPos shows and hides without WM_SHOWWINDOW, and raising
        // the owner must take its shadow along.
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos == nullptr || m_bPlacing) break;
        if (pos->flags & SWP_HIDEWINDOW) {
            Hide();
            m_dwStatus &= ~(SHADOW_SHOWN | SHADOW_OWNER_VISIBLE);
        } else if ((pos->flags & SWP_SHOWWINDOW) && !IsShown() && !m_bDragging) {
            ShowShadow();
        } else if (IsShown() && (!(pos->flags & SWP_NOZORDER) || (pos->flags & SWP_SHOWWINDOW))) {
            PlaceUnderOwner();
        }
        break;
    }
    case WM_MOVING:
        if (!m_bDragging) {
            Hide();
            m_dwStatus &= ~SHADOW_SHOWN;
            m_bDragging = TRUE;
        }
        break;
    case WM_EXITSIZEMOVE:
        if (m_bDragging) {
            m_bDragging = FALSE;
            ShowShadow();
        } else if (IsShown()) {
            Redraw();
        }
        break;
    default:
        break;
    }
    return FALSE;
}

void CShadowWnd::ShowShadow() {
    if (!m_bCreated || !HasWindows()) return;
    m_dwStatus &= SHADOW_ENABLED;
    if (::IsWindowVisible(m_hOwner)) {
        m_dwStatus |= SHADOW_OWNER_VISIBLE;
        if (!::IsIconic(m_hOwner)) m_dwStatus |= SHADOW_SHOWN;
    }
    if (IsShown()) Appear();
    else Hide();
}

void CShadowWnd::Redraw() {
    if (!HasWindows()) return;
    RECT owner = {};
    ::GetWindowRect(m_hOwner, &owner);
    if (IsEmptyRect(owner)) return;
    SIZE size = {owner.right - owner.left + 2 * kShadowSize, owner.bottom - owner.top + 2 * kShadowSize};

    void* bits = nullptr;
    platform::Bitmap dib(platform::CreateDib32(size.cx, size.cy, &bits));
    platform::MemoryDC dc;
    if (!dib || !dc) {
        platform::Trace("shadow bitmap %ldx%ld could not be made", size.cx, size.cy);
        return;
    }
    platform::SelectObjectScope select(dc, dib.Get());
    DrawShadowImage(dc, size);
    ::GdiFlush();
    // The window's own place stays clear whatever the image holds there: on
    // a desktop the shadow may stand above its window (a window manager
    // stacks the window, the shadow it leaves alone), and the window's face
    // shows its own colours only. The whole image goes to the display: a
    // compositor draws a half-transparent window's full picture, so a part
    // cut away by a region would show whatever the display left in it.
    auto* pixels = static_cast<DWORD*>(bits);
    for (int y = kShadowSize; y < size.cy - kShadowSize; ++y)
        for (int x = kShadowSize; x < size.cx - kShadowSize; ++x) pixels[static_cast<size_t>(y) * size.cx + x] = 0;

    POINT pos = {owner.left - kShadowSize, owner.top - kShadowSize};
    POINT src = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(m_hShadow, nullptr, &pos, &size, dc, &src, 0, &blend, ULW_ALPHA))
        platform::TraceLastError("UpdateLayeredWindow(shadow)");
}

void CShadowWnd::DrawShadowImage(HDC dc, SIZE size) {
    if (m_pDrawer) {
        m_pDrawer->DrawShadow(dc, size);
        return;
    }
    // Without the skin the shadow stays fully transparent.
    CBkSkinBase* skin = BkSkin::GetSkin("dlg_shadow");
    if (skin == nullptr) return;
    BkNinePart np = BkComputeNinePart(skin->GetSkinSize(), size);
    for (int i = 0; i < np.count; ++i) skin->DrawStretch(dc, np.dst[i], np.src[i]);
}
