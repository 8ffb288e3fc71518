#pragma once
// The layered repaint shared by every skinned layered window of the shell:
// the view is drawn into a 32-bit premultiplied bitmap and handed to
// UpdateLayeredWindow, so the skins' own alpha shapes the window.
#include <windows.h>

#include <cstdint>

class CBkDialogHost;
class CBkDialogView;

// Draws the whole view into `bits` (width x height top-down BGRA pixels, as a
// DIB section selected into `dc` holds them). Pixels nothing painted stay
// fully transparent; pixels that plain GDI painted (text, solid fills), which
// GDI leaves with alpha 0, become opaque, so text keeps its alpha.
void RenderLayeredPixels(CBkDialogView& view, HDC dc, uint32_t* bits, int width, int height);

// Repaints the window of `dlg` as a per-pixel-alpha layered window. Nothing
// for a hidden window or one with an empty rectangle. `bitmapHeight` other
// than -1 draws and sizes the window to that height from its top. Answers
// whether the layer was updated.
BOOL UpdateLayeredView(CBkDialogHost& dlg, int bitmapHeight = -1);

// Adds WS_EX_LAYERED to the window and posts WM_LAYERED_REFRESH to it: the
// start of every layered window's life.
void MakeLayered(HWND hwnd);
