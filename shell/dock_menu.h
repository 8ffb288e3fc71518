#pragma once
// The settings menu of both bar layouts: regular-expression mode and close
// to the tray, under the bar's settings button.
#include <windows.h>

// Shows menu 107 at the client point (anchorX, 21) of `owner`, the x kept on
// a monitor; `*hold` is set while the menu is open and restored after. The
// commands arrive at `owner` as WM_COMMAND.
void ShowDockMenu(HWND owner, int anchorX, BOOL* hold);
