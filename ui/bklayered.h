#pragma once
// Layered skinned windows: the view of a skinned window rendered into the
// window's per-pixel-alpha layer, and the message that asks for it.
#include <windows.h>

class CBkDialogView;

// Posted or sent by a layered skinned window to itself when its picture must
// be rendered again (after creation, on being shown, after a change).
constexpr UINT WM_LAYERED_REFRESH = 3157;

// Draws the whole view afresh into a 32-bit bitmap of the window's size and
// hands it to UpdateLayeredWindow (per-pixel alpha). fixedHeight > 0 renders
// only that many rows from the top, so the window ends up that tall (a drag
// line). Nothing happens for a hidden window or an empty rectangle; answers
// whether the layer was updated.
BOOL BkUpdateLayeredView(HWND hwnd, CBkDialogView& view, int fixedHeight = 0);
