#pragma once
// CBkDragBox: a bare layered skinned window shown only while the user drags
// something: the outline of a window being moved, or the line of a panel
// edge being dragged. A line box is drawn (and so sized) a fixed number of
// pixel rows tall from its top, whatever height it is given.
#include <windows.h>

#include "ui/bkdlgimpl.h"
#include "ui/bklayered.h"

class CBkDragBox : public CBkDialogImpl<CBkDragBox> {
public:
    // layoutId: the box's layout; lineHeight > 0 makes it a line that tall.
    explicit CBkDragBox(UINT layoutId, int lineHeight = 0);

    // Creates the box hidden, owned by `owner`, and brings it to the top.
    HWND CreateHidden(HWND owner);
    // Moves the box over the rectangle (screen coordinates), shows it
    // without activation when hidden and renders it.
    void ShowAt(const RECT& rc);
    void Hide();
    // Puts the box above every other window, in the X server's stacking too.
    void BringAboveAll();
    BOOL UpdateLayered();

    int GetLineHeight() const { return m_nLineHeight; }

    WINDOW_MAP_BEGIN(CBkDragBox)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CBkDragBox>)
    WINDOW_MAP_END()

protected:
    HWND CreateFrame(HWND hWndParent, const RECT& rc, LPCWSTR lpszTitle, DWORD dwStyle, DWORD dwExStyle) override;

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);

    int m_nLineHeight;
};
