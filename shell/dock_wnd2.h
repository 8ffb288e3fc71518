#pragma once
// The taller variant of the search bar, run modally in the bar's place: the
// search box searches only when its button is pressed, with the filters of
// the advanced-search popup shown inside it. It has its own search edit,
// result panel and strip.
#include <windows.h>

#include "platform/kept_place.h"
#include "shell/mini_dock.h"
#include "shell/more_search.h"
#include "shell/search_ctrl.h"
#include "shell/search_edit.h"
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

class CDockWnd2 : public CBkDialogImpl<CDockWnd2> {
public:
    enum : UINT {
        IDC_SEARCH = 1011,
        IDC_HINT = 1012,
        IDC_CLEAR = 1013,
        IDC_SCOPE = 1014,
        IDC_SETTINGS = 1015,
        IDC_CLOSE_VIEW = 1017,
    };
    enum : UINT_PTR { IDT_VOLUME_CHANGE = 1, IDT_WAIT_SCAN = 2, IDT_AUTOHIDE = 3, IDT_WAIT_LOAD = 6 };

    // Posted to itself: the view goes back to its place after a move the
    // window manager made while mapping it (see platform::KeptPlace).
    static const UINT kKeepPlaceMessage = WM_APP + 0x117;

    CDockWnd2();
    ~CDockWnd2() override;

    // The search edit's place in client coordinates; set before the run.
    void SetEditRect(const RECT& rc) { editRect_ = rc; }
    // Runs the view modally over `rc` (screen); answers its end code (2).
    int Run(const RECT& rc);
    void Close();

    // What the owner window does for the hot key while this view runs.
    void RestoreFromMiniDock();
    void SetKeepOpen(BOOL hold) { hold_ = hold; }
    void FocusEdit();

    void RunSearch();
    void AutoHide();

    CSearchEdit& Edit() { return edit_; }
    CSearchCtrl& ResultPanel() { return panel_; }
    CMoreSearch& MoreSearch() { return more_; }
    CMiniDock& Strip() { return strip_; }
    bool IsHidden() const { return hidden_; }

    WINDOW_MAP_BEGIN(CDockWnd2)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGED, OnKeepPlace)
        ON_WINDOW_MESSAGE(kKeepPlaceMessage, OnKeepPlace)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CDockWnd2>)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_MOVE, OnMove)
        ON_WINDOW_MESSAGE(WM_MOVING, OnMoving)
        ON_WINDOW_COMMAND(40008, OnToggleRegex)
        ON_WINDOW_COMMAND(40010, OnCloseCommand)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
        ON_WINDOW_MESSAGE(WM_SEARCH_CHANGED, OnEditChanged)
        ON_WINDOW_MESSAGE(WM_SEARCH_EDIT_KILLFOCUS, OnEditKillFocus)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        ON_WINDOW_MESSAGE(WM_TRAY_NOTIFY, OnStripRestore)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMove(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnKeepPlace(UINT msg, WPARAM, LPARAM lParam, BOOL& handled) {
        return place_.HandleMessage(Handle(), msg, lParam, kKeepPlaceMessage, handled);
    }
    LRESULT OnMoving(UINT, WPARAM, LPARAM, BOOL&) {
        hold_ = TRUE;
        return TRUE;
    }
    LRESULT OnToggleRegex(WORD, WORD, HWND, BOOL&) { return ToggleRegexMode(); }
    LRESULT OnCloseCommand(WORD, WORD, HWND, BOOL&) {
        Close();
        return 0;
    }
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnDeviceChange(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnEditChanged(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnEditKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnStripRestore(UINT, WPARAM, LPARAM, BOOL&);

    void PlacePanels();
    void ShowMenu();
    void Repaint();

    RECT editRect_ = {30, 131, 701, 151};
    CSearchEdit edit_;
    CSearchCtrl panel_;
    CMiniDock strip_;
    platform::KeptPlace place_;
    CMoreSearch more_;
    BOOL atTop_ = FALSE;
    BOOL hold_ = FALSE;
    bool hidden_ = false;
    // What was visible when the view hid into its strip.
    bool editWasVisible_ = false;
    bool panelWasVisible_ = false;
    bool resultsWereVisible_ = false;
};
