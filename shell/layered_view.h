#pragma once
// The layered repaint shared by every skinned layered window of the shell.
#include <windows.h>

class CBkDialogHost;

// Repaints the window of `dlg` as a per-pixel-alpha layered window (text
// keeps its alpha). Nothing for a hidden window or one with an empty
// rectangle. `bitmapHeight` other than -1 draws and sizes the window to that
// height from its top. Answers whether the layer was updated.
BOOL UpdateLayeredView(CBkDialogHost& dlg, int bitmapHeight = -1);

// Adds WS_EX_LAYERED to the window and posts WM_LAYERED_REFRESH to it: the
// start of every layered window's life.
void MakeLayered(HWND hwnd);
