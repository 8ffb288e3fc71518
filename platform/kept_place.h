#pragma once
// The place of a window that the program alone decides, such as the search
// bar docked at the screen's top. A window manager handles every window it
// maps anew, and a managed window is mapped again each time it is shown after
// a hide. Under Wine with a reparenting window manager that showing can end
// with a move nobody asked for: Wine reads the window's position from the
// frame it was just put into before the manager moved the frame to the
// requested place, and reports a move to the frame's first corner (0, 0).
//
// The owner moves the window through SetPos only and hands HandleMessage
// its WM_WINDOWPOSCHANGED and a private message of its choice, which the
// keeper posts to the window to undo a move. A move from outside shortly after the
// window was shown is undone (a few times at most, so that a manager insisting
// on its own place wins in the end); later ones (a user moving the window with
// the manager's own means) are kept.
#include <windows.h>

namespace platform {

class KeptPlace {
public:
    // How long after a show a move from outside counts as the manager's.
    static constexpr DWORD kSettleMs = 2000;
    // How many such moves are undone after one show.
    static constexpr int kMaxUndos = 3;

    // SetWindowPos for the program's own moves of `window`.
    BOOL SetPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);

    // For the window's WM_WINDOWPOSCHANGED at tick `now` (GetTickCount):
    // true when the move should be undone with Restore.
    bool Changed(HWND window, const WINDOWPOS& pos, DWORD now);

    // For `window`'s WM_WINDOWPOSCHANGED (passed on: bHandled cleared) and
    // its `restoreMessage`: the first posts the second when the move is to
    // be undone, the second undoes it.
    LRESULT HandleMessage(HWND window, UINT message, LPARAM lParam, UINT restoreMessage, BOOL& bHandled);

    // Puts a shown window back at its kept place.
    void Restore(HWND window);

    // A move from outside waits to be undone: the window's WM_MOVE for it
    // is nobody's choice of a new place.
    bool UndoPending() const { return undoPending_; }

    // The window's place as the program last set it (valid once known).
    bool Known() const { return known_; }
    POINT Place() const { return place_; }

private:
    POINT place_ = {0, 0};
    bool known_ = false;
    int ownMoves_ = 0;
    DWORD shownAt_ = 0;
    int undos_ = 0;
    bool undoPending_ = false;
};

}  // namespace platform
