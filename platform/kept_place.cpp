#include "platform/kept_place.h"

namespace platform {

namespace {

bool WindowCorner(HWND window, POINT* corner) {
    RECT rc = {};
    if (!::GetWindowRect(window, &rc)) return false;
    *corner = POINT{rc.left, rc.top};
    return true;
}

}  // namespace

BOOL KeptPlace::SetPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags) {
    ++ownMoves_;
    const BOOL done = ::SetWindowPos(window, after, x, y, cx, cy, flags);
    --ownMoves_;
    // The moves themselves were seen in Changed; this covers a call that
    // changed nothing, or a window that handles the message elsewhere.
    POINT corner = {};
    if (done && WindowCorner(window, &corner)) {
        place_ = corner;
        known_ = true;
    }
    return done;
}

bool KeptPlace::Changed(HWND window, const WINDOWPOS& pos, DWORD now) {
    POINT corner = {};
    if (!WindowCorner(window, &corner)) return false;
    if (pos.flags & SWP_SHOWWINDOW) {
        // Shown where the program put it: that is the place to keep.
        place_ = corner;
        known_ = true;
        shownAt_ = now;
        undos_ = 0;
        return false;
    }
    if (ownMoves_ > 0 || !known_) {
        place_ = corner;
        known_ = true;
        return false;
    }
    if ((pos.flags & SWP_NOMOVE) || (corner.x == place_.x && corner.y == place_.y)) return false;
    if (!::IsWindowVisible(window) || now - shownAt_ > kSettleMs || undos_ >= kMaxUndos) {
        // Not the manager placing a window it just mapped: the new place stays.
        place_ = corner;
        return false;
    }
    undoPending_ = true;
    return true;
}

LRESULT KeptPlace::HandleMessage(HWND window, UINT message, LPARAM lParam, UINT restoreMessage, BOOL& bHandled) {
    if (message == restoreMessage) {
        Restore(window);
        return 0;
    }
    bHandled = FALSE;
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (message == WM_WINDOWPOSCHANGED && pos && Changed(window, *pos, ::GetTickCount()))
        ::PostMessageW(window, restoreMessage, 0, 0);
    return 0;
}

void KeptPlace::Restore(HWND window) {
    undoPending_ = false;
    POINT corner = {};
    if (!known_ || !::IsWindowVisible(window) || !WindowCorner(window, &corner)) return;
    if (corner.x == place_.x && corner.y == place_.y) return;
    ++undos_;
    SetPos(window, nullptr, place_.x, place_.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform
