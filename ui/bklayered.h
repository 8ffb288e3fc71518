#pragma once
// Layered skinned windows: the view of a skinned window rendered into the
// window's per-pixel-alpha layer, and the message that asks for it.
#include <windows.h>

#include <cstdint>

class CBkDialogView;

// Posted or sent by a layered skinned window to itself when its picture must
// be rendered again (after creation, on being shown, after a change).
constexpr UINT WM_LAYERED_REFRESH = 3157;

// Renders the whole view into width x height premultiplied BGRA pixels
// (top-down) with their real alpha: the view is drawn once over black and
// once over white, and each pixel's alpha is what the two differ by. Skins
// keep their own alpha, plain GDI output (text, fills, which GDI leaves with
// alpha 0) comes out opaque, and what nothing painted stays transparent.
// FALSE when no bitmap could be made.
BOOL BkRenderLayeredPixels(CBkDialogView& view, int width, int height, uint32_t* pixels);

// Renders the view as above and hands it to UpdateLayeredWindow.
// fixedHeight > 0 renders only that many rows from the top, so the window
// ends up that tall (a drag line). Nothing happens for a hidden window or an
// empty rectangle; answers whether the layer was updated.
BOOL BkUpdateLayeredView(HWND hwnd, CBkDialogView& view, int fixedHeight = 0);
