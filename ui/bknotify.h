#pragma once
// Framework notify codes and the records that travel with them as the lParam
// of WM_NOTIFY.
#include <windows.h>
#include <commctrl.h>

#define BKNM_COMMAND 1
#define BKNM_REALWND_MOVED 2
#define BKNM_MOUSEHOVER 3
#define BKNM_MOUSELEAVE 4
#define BKNM_TAB_SELECT 5
#define BKNM_CTRLNOTIFY 6
#define BKNM_LBUTTONDOWN 7
#define BKNM_LBUTTONDBLCLK 8
#define BKNM_RBUTTONDOWN 9
#define BKNM_TAB_HOVER 10
#define BKNM_SLIDER_POSCHANGING 11
#define BKNM_SLIDER_POSCHANGED 12
#define BKNM_LBUTTONUP 13
#define BKNM_INVALIDATERECT 1000

// Events reported by a control with a "notify" mask (BKNM_CTRLNOTIFY).
#define BKNM_CTRLEVENT_MOUSEENTER 3
#define BKNM_CTRLEVENT_MOUSELEAVE 4

// Mask bits of the "notify" attribute.
#define BKNOTIFY_MOUSEENTER 0x1
#define BKNOTIFY_MOUSELEAVE 0x2

// BKNM_CTRLNOTIFY: a control reports mouse entry or leave to its view.
struct BKNMCTRLNOTIFY {
    NMHDR hdr;
    UINT uItemID;        // command id of the control
    LPCSTR szItemClass;  // "wnd"
    UINT uEvent;         // BKNM_CTRLEVENT_*
};

// BKNM_COMMAND and the other mouse codes: the view reports to its parent
// which control (command id) the event concerns. szItemClass is the
// control's element name for BKNM_COMMAND and BKNM_LBUTTONDBLCLK, else null.
struct BKNMCOMMAND {
    NMHDR hdr;
    UINT uItemID;
    LPCSTR szItemClass;
};

// BKNM_INVALIDATERECT: a control asks its view to repaint a rectangle.
struct BKNMINVALIDATERECT {
    NMHDR hdr;
    UINT uItemID;
    RECT rect;
};

// BKNM_REALWND_MOVED: a "realwnd" placeholder moved its real window.
struct BKNMREALWNDRESIZED {
    NMHDR hdr;
    UINT uItemID;  // command id of the placeholder (and of the real window)
    RECT rcWnd;    // the new rectangle in view coordinates
};

// BKNM_SLIDER_POSCHANGING / BKNM_SLIDER_POSCHANGED: positions 0-100. A
// receiver sets nResult non-zero to veto the change.
struct BKNMSLIDERPOS {
    NMHDR hdr;
    UINT uItemID;
    int nOldPos;
    int nNewPos;
    LRESULT nResult;
};

// BKNM_TAB_SELECT / BKNM_TAB_HOVER: a tab control reports a selection it is
// about to make (the receiver refuses it by answering non-zero or setting
// nResult) or a change of the hovered tab (-1: none).
struct BKNMTABITEM {
    NMHDR hdr;
    UINT uTabID;        // command id of the tab control
    int nTabItemIDNew;
    int nTabItemIDOld;
    int nResult;
};
