#pragma once
// The result panel that drops down under the bar: a layered skinned window
// (layout 117) hosting the result window. It starts every search with the
// query and the filter fields its dock writes, shows the status line under
// the list and a busy animation while a sort runs, and lets the user drag its
// bottom edge.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/activation.h"
#include "shell/drag_box_dlg.h"
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

class CSearchResultWnd;
class CIndexManager;

// Flips the engine's regular-expression switch under its query lock.
LRESULT ToggleRegexMode();
// The engine's regular-expression switch, read under its query lock.
bool IsRegexMode();

class CSearchCtrl : public CBkDialogImpl<CSearchCtrl> {
public:
    static const UINT kLayout = 117;
    static const UINT_PTR IDT_SEARCHCTRL_SORT_WAIT = 1;
    // String of the status line when a drive's index could not be saved.
    static const UINT kUnsavedIndexText = 92;
    // Items of layout 117.
    enum : UINT {
        IDC_BUSY_BACK = 200,
        IDC_BUSY_IMAGE = 204,
        IDC_STATUS = 600,
        IDC_DRAG_STRIP = 601,
        IDC_VIEW_LINK = 602,
    };

    CSearchCtrl();
    ~CSearchCtrl() override;

    void SetOwner(HWND owner) { m_hOwner = owner; }
    HWND GetOwnerWindow() const { return m_hOwner; }

    // Runs a search of Query with the filter fields. -1 keeps the result
    // window's full-search flag. Answers 0.
    int Search(int fullSearch, LPARAM passThrough);
    void OnSearchResults(WPARAM count, LPARAM deletedCount);
    void OnSortStarted();
    void OnSortWaitTimer();
    // Stores the bottom limit (unless -1) and fits the result window into
    // the panel.
    void UpdateLayout(int bottomLimit);
    void ShowUpdatingStatus();
    void DestroyPanel();
    void ToggleFileView();

    CSearchResultWnd* ResultWnd() { return m_pResultWnd.get(); }
    HWND ResultHandle() const;
    HWND ListHandle();
    int RowCount();
    int GetBottomLimit() const { return m_nBottomLimit; }
    void SetBottomLimit(int limit) { m_nBottomLimit = limit; }
    BOOL IsViewDeleted() const { return m_bViewDeleted; }
    void SetViewDeleted(BOOL deleted) { m_bViewDeleted = deleted; }
    bool IsDragging() const { return m_bDragging; }
    CDragBoxDlg& DragLine() { return m_dragLine; }
    void Repaint();

    // The filter fields the dock writes before each search.
    std::wstring Query;
    DWORD FilterMask = 0;
    FILETIME DateFrom = {};
    FILETIME DateTo = {};
    LONGLONG SizeMin = 0;
    LONGLONG SizeMax = 0;
    std::wstring PathPrefix;
    DWORD FileState = 0;

    WINDOW_MAP_BEGIN(CSearchCtrl)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_MOVE, OnMoveOrSize)
        ON_WINDOW_MESSAGE(WM_SIZE, OnMoveOrSize)
        ON_WINDOW_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
        ON_WINDOW_MESSAGE(WM_NCACTIVATE, OnNcActivate)
        ON_WINDOW_COMMAND(40008, OnToggleRegex)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
        ON_WINDOW_MESSAGE(WM_SEARCH_CHANGED, OnSearchChangedMsg)
        ON_WINDOW_MESSAGE(WM_SEARCH_RESULTS, OnSearchResultsMsg)
        ON_WINDOW_MESSAGE(WM_SORT_STARTED, OnSortStartedMsg)
        ON_WINDOW_MESSAGE(WM_SEARCH_EDIT_KILLFOCUS, OnForwardToOwner)
        ON_WINDOW_MESSAGE(WM_DOCK_ENABLE, OnForwardToOwner)
        ON_WINDOW_MESSAGE(WM_RESULT_LIST_USED, OnForwardToOwner)
        ON_WINDOW_MESSAGE(WM_DOCK_HOLD, OnForwardToOwner)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CSearchCtrl>)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL& bHandled);
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL& bHandled);
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnToggleRegex(WORD, WORD, HWND, BOOL&) { return ToggleRegexMode(); }
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSearchChangedMsg(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        return Search(static_cast<int>(wParam), lParam);
    }
    LRESULT OnSearchResultsMsg(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        OnSearchResults(wParam, lParam);
        return 0;
    }
    LRESULT OnSortStartedMsg(UINT, WPARAM, LPARAM, BOOL&) {
        OnSortStarted();
        return 0;
    }
    LRESULT OnForwardToOwner(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);
    // A window manager that focuses each new window (xfwm4) would take the
    // keyboard from the edit as the panel first shows.
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
    }

    void OnDragMove(int x, int y);
    void OnDragEnd();
    void CancelDrag();
    void SetStatus(UINT stringId);
    // The status text telling of drives whose index could not be saved, once,
    // while the panel is shown; empty when there is nothing to tell.
    std::wstring TakeUnsavedNotice();

    std::unique_ptr<CSearchResultWnd> m_pResultWnd;
    HWND m_hOwner = nullptr;
    bool m_bDragging = false;
    bool m_bFirstMove = true;
    bool m_bMoved = false;
    POINT m_ptDragStart = {0, 0};
    RECT m_rcDrag = {0, 0, 0, 0};
    CDragBoxDlg m_dragLine;
    int m_nSortFrame = 0;
    int m_nBottomLimit = 0;
    int m_nDeletedCount = 0;
    BOOL m_bViewDeleted = FALSE;
};
