#pragma once
// Private messages and constants the search bar, its panels and the strip
// exchange. Numbers are fixed: other windows (the result window, the second
// dock, the web panel) send some of them.
#include <windows.h>

// WM_SEARCH_RESULTS, WM_SEARCH_CHANGED, WM_SEARCH_EDIT_KILLFOCUS,
// WM_DOCK_ENABLE, WM_SORT_STARTED, WM_RESULT_LIST_USED, WM_DOCK_HOLD
#include "results/result_messages.h"
// WM_SEARCH_SCOPE_CHANGED (wParam mask or -1, lParam keep-open value) and
// the scope bits SCOPE_EXISTING, SCOPE_DELETED, SCOPE_WEB
#include "shell/scope_popup.h"
// WM_LAYERED_REFRESH
#include "ui/bklayered.h"

// Tray icon callback; to the bar: wParam points at the strip's MiniDockRestore.
constexpr UINT WM_TRAY_NOTIFY = 3158;
constexpr UINT WM_TOGGLE_FILE_VIEW = 5367;
// WM_PANEL_RESIZE (5373) comes with the web panel, browser/netsearch_dlg.h.

// The owner window's interface for other processes: quit, and pin the bar
// into the desktop (wParam 1) or make it topmost (any other wParam).
constexpr UINT WM_SHELL_QUIT = 33208;
constexpr UINT WM_SHELL_PIN = 33214;
