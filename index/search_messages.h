#pragma once
#include <windows.h>

// Posted by the search threads (wParam: results, lParam: deleted files among
// them) and by the sort thread (wParam: results, lParam: -1).
constexpr UINT WM_SEARCH_RESULTS = 5369;

// Posted by the change-journal monitor with (1, 1) when a change touched a
// record the active query shows or would show: run the search again.
constexpr UINT WM_SEARCH_CHANGED = 1527;

// Sort keys of CIndexManager::StartSort.
enum SortKeys : int {
    SORT_NONE = 0,
    SORT_BY_NAME = 1,
    SORT_BY_PATH = 2,
    SORT_BY_TYPE = 3,
    SORT_BY_SIZE = 4,
    SORT_BY_TIME = 5,
};
