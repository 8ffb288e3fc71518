#pragma once
// The drop shadow of a top-level skinned window: a layered, click-through
// popup 4 pixels larger on every side, painted from the nine-part skin
// "dlg_shadow" with per-pixel alpha, kept directly under the window it
// shadows. It follows that window (called the owner here) by watching its
// messages (FollowOwner), and hides while the owner is dragged.
//
// The shadow is not owned by the window it shadows: an owned window always
// stands above its owner, so it would cover the window. It shares the
// window's own owner and topmost state instead, never takes the activation,
// and is put under the window after every show and every change of the
// window's place in the stacking order.
#include <windows.h>

// Nine-part placement of a skin of size `skin` over a rectangle of size
// `target`: corners unscaled, edges stretched along the sides, the centre over
// the middle. The corner is (skin width - 2) / 2, bounded so that it stays
// inside the skin and, on the target side, inside half the target. Parts of
// zero size are left out.
struct BkNinePart {
    RECT src[9];
    RECT dst[9];
    int count = 0;
};
BkNinePart BkComputeNinePart(SIZE skin, SIZE target);

// Paints a shadow bitmap of the given size (a custom look instead of the skin).
class CShadowDrawer {
public:
    virtual ~CShadowDrawer() = default;
    // `dc` holds a zeroed 32-bit bitmap of `size`; pixels are premultiplied BGRA.
    virtual void DrawShadow(HDC dc, SIZE size) = 0;
};

class CShadowWnd {
public:
    static const int kShadowSize = 4;
    static const wchar_t kClassName[];
    enum : DWORD {
        SHADOW_ENABLED = 0x1,
        SHADOW_SHOWN = 0x2,
        SHADOW_OWNER_VISIBLE = 0x4,
    };

    CShadowWnd() = default;
    virtual ~CShadowWnd();
    CShadowWnd(const CShadowWnd&) = delete;
    CShadowWnd& operator=(const CShadowWnd&) = delete;

    // Makes the shadow window for `owner` (once per object). FALSE when the
    // owner is not a window or the shadow window cannot be made.
    BOOL Create(HWND owner);
    // Reacts to one of the owner's messages (WM_DESTROY, WM_MOVE, WM_SIZE,
    // WM_PAINT, WM_SHOWWINDOW, WM_WINDOWPOSCHANGED, WM_MOVING,
    // WM_EXITSIZEMOVE). Never consumes the message: always FALSE, so the
    // owner's own handling goes on.
    BOOL FollowOwner(UINT msg, WPARAM wParam, LPARAM lParam);
    // Shows the shadow when the owner is visible and not minimised (redrawn
    // at the owner's place), else hides it.
    void ShowShadow();

    // Null: the skin "dlg_shadow". The drawer must outlive this object.
    void SetDrawer(CShadowDrawer* drawer) { m_pDrawer = drawer; }
    // Paints the shadow image of the given size into a DC holding a zeroed
    // 32-bit bitmap (what every redraw puts on the screen).
    void DrawShadowImage(HDC dc, SIZE size);

    BOOL IsCreated() const { return m_bCreated; }
    BOOL IsDragging() const { return m_bDragging; }
    BOOL IsShown() const { return (m_dwStatus & SHADOW_SHOWN) != 0; }
    DWORD GetStatus() const { return m_dwStatus; }
    HWND GetShadowWindow() const { return m_hShadow; }
    HWND GetOwnerWindow() const { return m_hOwner; }

private:
    bool HasWindows() const;
    void Hide();
    void Redraw();
    // Redraws, shows and places the shadow under the owner (hides it when
    // the owner is managed by the desktop).
    void Appear();
    // Puts the shadow directly under the owner, in the system's stacking
    // order and in the display server's.
    void PlaceUnderOwner();

    // Null when none; every use checks IsWindow, so a window destroyed behind
    // our back is simply absent.
    HWND m_hOwner = nullptr;
    HWND m_hShadow = nullptr;
    BOOL m_bDragging = FALSE;
    BOOL m_bCreated = FALSE;
    DWORD m_dwStatus = 0;
    LPARAM m_lLastSize = 0;
    BOOL m_bRedrawPending = FALSE;
    BOOL m_bPlacing = FALSE;  // PlaceUnderOwner is moving the owner
    CShadowDrawer* m_pDrawer = nullptr;
};
