#pragma once
// Shared set-up of the search bar tests: the program's own layouts and
// tables, an engine loaded from index files and published through the
// application context, and a created bar.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "index/index_manager.h"
#include "shell/dock_wnd.h"

namespace shell_test {

// Loads the program's string, style and skin tables.
void LoadProgramTables();

// Sends a framework notification from the view of `dlg` to it.
void Notify(HWND dlg, UINT code, UINT item);
// The text of a view item of the bar.
std::wstring ItemText(CBkDialogHost& dlg, UINT item);
bool ItemVisible(CBkDialogHost& dlg, UINT item);

// Pumps until `done` or 60 s.
bool WaitFor(const std::function<bool()>& done);

struct DockSetup {
    // An engine over index files of `files` names under C:\ (the scanner is
    // pointed nowhere, so the start-up chain reloads the same files), and
    // the bar created at (100, 20) and shown.
    explicit DockSetup(int files = 20);
    ~DockSetup();
    // Waits until the start-up chain (timers 0, 2, 6) has run.
    bool WaitForStartChain();
    // Types the characters into the edit as key presses would (each WM_CHAR
    // posted to the edit).
    void Type(const std::wstring& text);

    std::wstring folder;
    std::unique_ptr<CIndexManager> engine;
    std::unique_ptr<CDockWnd> dock;
};

}  // namespace shell_test
