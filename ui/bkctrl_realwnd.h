#pragma once
// "realwnd": a placeholder that keeps a real child window of the view (found
// by the placeholder's id) at the placeholder's place in the layout and shows
// or hides it with the placeholder. The owner creates and destroys the real
// window; the placeholder keeps no handle to it.
#include "ui/bkwnd.h"

class CBkRealWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("realwnd")

public:
    BOOL NeedsRedrawOnStateChange() override { return FALSE; }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // The real window, or null when the owner has none with this id.
    HWND GetRealWindow() const;

private:
    void OnPositionChanged(HWND hWnd, WPARAM wParam, LPARAM lParam);
    void OnShow(BOOL bShow);

    // Set once the real window has been placed: until then a layout that
    // leaves the rectangle as loaded must still move it there.
    BOOL m_bPlaced = FALSE;
};
