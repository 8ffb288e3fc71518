#pragma once
// Messages, command codes, column and action numbers shared by the result
// window, its list, the file commands and the result panel that hosts them.
#include <windows.h>

#include "index/search_messages.h"  // WM_SEARCH_RESULTS, WM_SEARCH_CHANGED, SORT_*

// The result window lost activation (posted to the owner, 0 / 0).
constexpr UINT WM_SEARCH_EDIT_KILLFOCUS = 1528;
// A key of the list (wParam FILECMD_*, lParam delete mode) and a command of
// the shell menu, both answered by CSearchResultWnd::OnFileCommand.
constexpr UINT WM_RESULT_KEY_COMMAND = 5364;
constexpr UINT WM_RESULT_MENU_COMMAND = 5365;
// Sent to the owner around a modal box: (1, 0) before answers the previous
// state; (0, 0) or (0, 1) after, only when that answer was 0.
constexpr UINT WM_DOCK_ENABLE = 5366;
// A sort long enough for the busy animation was started (0, 0).
constexpr UINT WM_SORT_STARTED = 5370;
// The user did something with a listed file (0, 0).
constexpr UINT WM_RESULT_LIST_USED = 5371;
// Around the shell context menu, as WM_DOCK_ENABLE.
constexpr UINT WM_DOCK_HOLD = 5372;

// File command codes: the wParam of WM_RESULT_KEY_COMMAND and
// WM_RESULT_MENU_COMMAND. lParam 1 with FILECMD_DELETE skips the recycle bin.
enum FileCommandCode : int {
    FILECMD_OPEN = 0,
    FILECMD_CUT = 1,
    FILECMD_COPY = 2,
    FILECMD_DELETE = 3,
    FILECMD_EDIT = 4,
    FILECMD_SELECTALL = 5,
    FILECMD_OPENCONTAINING = 6,
    FILECMD_PROPERTIES = 7,
};

// Columns of the result list, in display order.
enum ResultColumn : int {
    RESULTCOL_NAME = 0,
    RESULTCOL_DIRECTORY = 1,
    RESULTCOL_TYPE = 2,
    RESULTCOL_SIZE = 3,
    RESULTCOL_MODIFIED = 4,
    RESULTCOL_COUNT = 5,
};

// Buttons of the action bar in the expanded row.
enum RowAction : int {
    ROWACTION_OPEN = 0,
    ROWACTION_OPEN_FOLDER = 1,
    ROWACTION_COPY_FILE = 2,
    ROWACTION_COPY_PATH = 3,
    ROWACTION_RECOVER = 4,
    ROWACTION_COUNT = 5,
};

// Menu items the result window puts above the shell's context menu.
constexpr UINT ID_OPEN_CONTAINING_FOLDER = 0x8007;
constexpr UINT ID_RECOVER_DELETED = 0x8009;

// Timers: the list's auto-scroll while drag selecting, the repeat of a held
// press on a scroll bar's track, the window's history.
constexpr UINT_PTR IDT_LIST_AUTOSCROLL = 1;
constexpr UINT IDT_LIST_AUTOSCROLL_MS = 100;
constexpr UINT_PTR IDT_LIST_SCROLLREPEAT = 2;
constexpr UINT IDT_LIST_SCROLLREPEAT_FIRST_MS = 350;
constexpr UINT IDT_LIST_SCROLLREPEAT_MS = 50;
constexpr UINT_PTR IDT_RESULT_HISTORY = 4;
constexpr UINT IDT_RESULT_HISTORY_MS = 300;

// At most this many files are opened, or have their folders opened, at once.
constexpr int kMaxRowsPerAction = 34;
