#pragma once
// The docked search bar: a slim layered skinned window at the top of the
// screen that owns the search edit, the result panel, the web panel, the
// strip left behind while it is hidden and the drag outline. Its timers
// drive the engine's start-up threads (load, scan, reload, journal).
#include <windows.h>

#include "ui/bkdlgimpl.h"

class CDockWnd : public CBkDialogImpl<CDockWnd> {
public:
    CDockWnd();
    ~CDockWnd() override;

    // The reset done before each creation (keep-open, disabled, list-used,
    // at-top and expanded flags, filter indexes, drag state, file state).
    void ResetState();
    HWND Create(HWND owner, const RECT& rc);
    // Kills the timers and destroys the panels and the bar.
    void DestroyPanels();
    bool IsExpandedDockRunning() const;
    bool IsMiniDockVisible() const;
    // The strip hands its saved state to the bar and hides.
    void RestoreFromMiniDock();
    void SetKeepOpen(BOOL keep);
    // Hides the placeholder, brings the bar forward and focuses the edit.
    void FocusEdit();

    WINDOW_MAP_BEGIN(CDockWnd)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CDockWnd>)
    WINDOW_MAP_END()

private:
    BOOL m_bKeepOpen = FALSE;
};
