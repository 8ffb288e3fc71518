#pragma once
// The docked search bar: a slim layered skinned window at the top of the
// screen (layout 116) that owns the search edit, the result panel, the strip
// left behind while it is hidden and the drag outline. Its timers drive the
// engine's start-up threads (load, scan, reload, journal); a search runs
// after each pause in typing.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/activation.h"
#include "platform/kept_place.h"
#include "shell/drag_box_dlg.h"
#include "shell/mini_dock.h"
#include "shell/scope_popup.h"
#include "shell/search_ctrl.h"
#include "shell/search_edit.h"
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

class CDockWnd2;
class CNetSearchDlg;

class CDockWnd : public CBkDialogImpl<CDockWnd> {
public:
    static const UINT kLayout = 116;
    // Timers on the bar.
    enum : UINT_PTR {
        IDT_DOCK_WAIT_LOAD = 0,
        IDT_DOCK_VOLUME_CHANGE = 1,
        IDT_DOCK_WAIT_SCAN = 2,
        IDT_DOCK_AUTOHIDE = 3,
        IDT_DOCK_SEARCH_DEBOUNCE = 4,
        IDT_DOCK_SLIDE = 5,
        IDT_DOCK_WAIT_RELOAD = 6,
        // Once more the keys for the edit the user called the bar to.
        IDT_DOCK_TAKE_KEYS = 7,
    };
    // Items of layout 116.
    enum : UINT {
        IDC_FILTER_FIRST = 1000,   // category 1000-1005, date 1006-1010
        IDC_DATE_FIRST = 1006,
        IDC_FILTER_LAST = 1010,
        IDC_SEARCH_BUTTON = 1011,
        IDC_PLACEHOLDER = 1012,
        IDC_CLEAR = 1013,
        IDC_SCOPE = 1014,
        IDC_SETTINGS = 1015,
        IDC_EXPANDED = 1017,
        IDC_WEBSITE = 1018,
    };
    // Geometry of the panels under the bar.
    static const int kPanelOverlap = 8;
    static const int kRowHeight = 24;
    static const int kPanelFixedPart = 127;
    static const int kPanelEmptyHeight = 77;
    static const int kWebPanelHeight = 500;
    // The web panel is never laid out lower than this.
    static const int kMinPanelHeight = 56;
    static const int kNoDragLimit = 1920;
    static const int kDockHeight = 73;
    // WM_PANEL_RESIZE of the web panel's header, which this header keeps out
    // of the files that include it (its names clash with resource ids).
    static const UINT kPanelResizeMessage = 5373;
    // Posted to itself: KeepEditAbove once the windows that go away with the
    // current message (the scope popup) are gone.
    static const UINT kKeepEditAboveMessage = WM_APP + 0x116;
    // Posted to itself: the bar goes back to its place after a move the
    // window manager made while mapping it (see platform::KeptPlace).
    static const UINT kKeepPlaceMessage = WM_APP + 0x117;
    // WM_PANEL_MOVED of the web panel's header: a panel moved or was resized.
    static const UINT kPanelMovedMessage = WM_APP + 0x118;

    CDockWnd();
    ~CDockWnd() override;

    // The reset done before each creation (keep-open, disabled, list-used,
    // at-top and expanded flags, filter indexes, drag state, file state).
    void ResetState();
    HWND Create(HWND owner, const RECT& rc);
    // Kills the timers and destroys the panels and the bar.
    void DestroyPanels();
    bool IsExpandedDockRunning() const { return m_bExpandedRunning; }
    // The taller bar while it runs in this bar's place (the hot key and the
    // tray act on it then), else null.
    CDockWnd2* ExpandedDock() const { return m_pExpanded; }
    bool IsMiniDockVisible() const;
    // The strip hands its saved state to the bar and hides.
    void RestoreFromMiniDock();
    void SetKeepOpen(BOOL keep) { m_bKeepOpen = keep; }
    // Hides the placeholder, brings the bar forward and focuses the edit.
    void FocusEdit();
    // FocusEdit for the user's call (the tray icon, the hot key, the strip
    // left with the keys in the edit): the keys typed next reach the edit
    // whatever window had them, the window manager's choice aside.
    void TakeKeyboardIntoEdit();
    // Puts the edit on top again: whatever raised the bar (a click, the
    // scope popup going away) must not leave the skinned bar over its own
    // edit, where it would take the clicks meant for the edit.
    void KeepEditAbove();

    // A full-screen program is in front (not the desktop or the shell).
    static bool IsFullScreenAppInFront();

    // State read by the owner window and the tests.
    BOOL IsKeepOpen() const { return m_bKeepOpen; }
    BOOL IsListUsed() const { return m_bListUsed; }
    BOOL IsAtTop() const { return m_bAtTop; }
    DWORD GetScopeMask() const { return m_dwScope; }
    DWORD GetFilterMask() const { return m_dwFilterMask; }
    DWORD GetFileState() const { return m_dwFileState; }
    bool IsTimerSet(UINT_PTR id) const { return id < 32 && (m_timers & (1u << id)) != 0; }
    CSearchEdit& Edit() { return m_edit; }
    CSearchCtrl& ResultPanel() { return m_searchCtrl; }
    CMiniDock& MiniDock() { return m_miniDock; }
    CDragBoxDlg& DragBox() { return m_dragBox; }
    CKSettingDlg& ScopePopup() { return m_scopePopup; }
    CNetSearchDlg& WebPanel() { return *m_pNetSearch; }
    const RECT& EditRect() const { return m_rcEdit; }
    int SearchRuns() const { return m_nSearchRuns; }
    // The address of the last web search (built even while no web panel
    // can show it).
    const std::wstring& LastWebUrl() const { return m_strLastWebUrl; }

    // Panel geometry (also on every search result): sizes the result panel
    // to its rows under the bar, the web panel below it.
    void LayoutResultPanel();
    // The result panel's height for `rows` rows when the bar's panels start
    // at `panelTop` on a screen `screenHeight` high with a taskbar
    // `taskbarHeight` high.
    static int ResultPanelHeight(int rows, int panelTop, int screenHeight, int taskbarHeight);
    // The height a panel `height` high at screen y `top` gets on a screen
    // `screenHeight` high: its own, as long as a tenth of it stays on the
    // screen. A window manager pulls a window mostly below the screen back up
    // (openbox keeps a tenth of it on the screen), which would lay the panel
    // over the bar; so the panel is cut to ten times what shows, though never
    // below `minHeight`. Openbox also moves a window down to its tenth
    // (rounded down) when that is one pixel less than what shows: such a
    // panel gets the height whose tenth is what shows.
    static int HeightOnScreen(int top, int height, int minHeight, int screenHeight);
    void AutoHide();

    WINDOW_MAP_BEGIN(CDockWnd)
        ON_WINDOW_MESSAGE(WM_NCACTIVATE, OnNcActivate)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGED, OnKeepPlace)
        ON_WINDOW_MESSAGE(kKeepPlaceMessage, OnKeepPlace)
        ON_WINDOW_MESSAGE(WM_MOVE, OnMoveMsg)
        ON_WINDOW_MESSAGE(WM_ACTIVATE, OnActivate)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        ON_WINDOW_MESSAGE(kKeepEditAboveMessage, OnKeepEditAbove)
        ON_WINDOW_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_COMMAND(40007, OnNothing)
        ON_WINDOW_COMMAND(40008, OnToggleRegex)
        ON_WINDOW_COMMAND(40010, OnCloseToTray)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_WINDOW_MESSAGE(WM_MOVING, OnMoving)
        ON_WINDOW_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
        ON_WINDOW_MESSAGE(WM_SEARCH_CHANGED, OnSearchChangedMsg)
        ON_WINDOW_MESSAGE(WM_SEARCH_EDIT_KILLFOCUS, OnEditKillFocus)
        ON_WINDOW_MESSAGE(WM_SEARCH_SCOPE_CHANGED, OnScopeChangedMsg)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        ON_WINDOW_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
        ON_WINDOW_MESSAGE(WM_DOCK_ENABLE, OnDockEnable)
        ON_WINDOW_MESSAGE(WM_TOGGLE_FILE_VIEW, OnToggleFileView)
        ON_WINDOW_MESSAGE(WM_SEARCH_RESULTS, OnSearchResultsMsg)
        ON_WINDOW_MESSAGE(WM_RESULT_LIST_USED, OnResultListUsed)
        ON_WINDOW_MESSAGE(WM_DOCK_HOLD, OnDockHold)
        ON_WINDOW_MESSAGE(kPanelResizeMessage, OnPanelResize)
        ON_WINDOW_MESSAGE(kPanelMovedMessage, OnPanelMoved)
        ON_WINDOW_MESSAGE(WM_BKDLG_TAKE_KEYBOARD, OnTakeKeyboardAgain)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CDockWnd>)
    WINDOW_MAP_END()

private:
    // Message handlers.
    LRESULT OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL& bHandled);
    LRESULT OnMoveMsg(UINT, WPARAM, LPARAM lParam, BOOL& bHandled);
    LRESULT OnKeepPlace(UINT msg, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return m_place.HandleMessage(Handle(), msg, lParam, kKeepPlaceMessage, bHandled);
    }
    LRESULT OnActivate(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // A window manager handing the newly shown bar the focus would take it
    // from the edit; a click on the bar still activates it.
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
    }
    LRESULT OnKeepEditAbove(UINT, WPARAM, LPARAM, BOOL&) {
        KeepEditAbove();
        return 0;
    }
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNothing(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnToggleRegex(WORD, WORD, HWND, BOOL&) { return ToggleRegexMode(); }
    LRESULT OnCloseToTray(WORD, WORD, HWND, BOOL&);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnMoving(UINT, WPARAM, LPARAM, BOOL&) { return TRUE; }
    LRESULT OnDeviceChange(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSearchChangedMsg(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnEditKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnScopeChangedMsg(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayNotify(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnDockEnable(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnToggleFileView(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnSearchResultsMsg(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnResultListUsed(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDockHold(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnPanelResize(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnPanelMoved(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTakeKeyboardAgain(UINT, WPARAM, LPARAM, BOOL&);
    // The keys the edit was called to went to another program's window.
    bool KeysTakenFromEdit() const;

    // The search road.
    void FirstLayout();
    void OnSearchChanged(WPARAM key);
    void RunPendingSearch();
    void OnFilterButton(UINT id);
    void ResetBar();
    void OnScopeChanged(LONG mask, BOOL keepOpen);
    void OnSearchResults(LPARAM lParam);
    void ShowSettingsMenu();
    void CloseToTray();
    void ShowScopePopup();
    void RunExpandedDock();
    void OpenWebSite();
    void NavigateWebSearch(const std::wstring& query);
    void ApplyDeactivation();
    void ShowPlaceholder(const std::wstring& text);
    void SelectFilter(UINT first, UINT last, UINT selected);
    void UpdateFilterMask();
    void SetFileStateFromScope();
    bool IsLocalScope() const { return (m_dwScope & (SCOPE_EXISTING | SCOPE_DELETED)) != 0; }
    void ShowResultPanel(bool show);
    void StartLocalSearch(int fullSearch, LPARAM passThrough);
    void Repaint();
    void StartTimer(UINT_PTR id, UINT period);
    void StopTimer(UINT_PTR id);
    void OnEngineTimer(UINT_PTR id);

    // The web panel: shown under the result panel, or alone under the bar.
    bool IsWebPanelVisible() const;
    // Creates the web panel (hidden) unless it exists; false when it cannot.
    bool EnsureWebPanel();
    void HideWebPanel();
    // Shows the web panel; a hidden one first goes to its place under the
    // bar (or under the result panel), wherever the bar went meanwhile.
    void ShowWebPanel();
    // Web scope alone: the web panel `height` high right under the bar.
    void OpenWebPanel(int height);
    // The web panel's edges: the top one drags while the result panel is
    // above it, the bottom one while it stands alone.
    void EnableWebItems(bool localScope);

    // Geometry, moving, auto-hide and dragging.
    void OnMove(int x, int y);
    void RestoreFrom(const MiniDockRestore& state);
    void OnDragMouseMove(WPARAM keys, int x, int y);
    void OnDragEnd();
    void CancelDrag();
    RECT PanelSpanUnderBar() const;
    // The height the panels share under the bar: the work area's height
    // less the bar's, plus the overlap.
    int FreeHeight();
    // Places the web panel at `top` (its wanted height, cut as above); with
    // no room left on the screen it hides until the bar gives it room again.
    void PlaceWebPanel(int left, int top, int width);
    // The lowest screen y the panels may reach.
    int WorkAreaBottom() const;
    // The height a panel `height` high at screen y `top` is given: as
    // HeightOnScreen, or, once the window manager has been seen to move a
    // panel back onto the screen, cut to what fits above the work area's
    // bottom (at least a pixel).
    int PanelHeightAt(int top, int height, int minHeight) const;
    // Lays a shown panel that stands elsewhere than under the bar (a window
    // manager moved it) out again in its place, cut to the screen.
    void KeepPanelsUnderBar();

    CSearchEdit m_edit;
    CSearchCtrl m_searchCtrl;
    CMiniDock m_miniDock;
    CDragBoxDlg m_dragBox;
    // Where the program put the bar, kept against a window manager that
    // places it anew each time it is shown.
    platform::KeptPlace m_place;
    CKSettingDlg m_scopePopup;
    // The window a click on the bar took the activation from (the edit the
    // user typed into), or null.
    HWND m_hClickedAwayFrom = nullptr;
    std::unique_ptr<CNetSearchDlg> m_pNetSearch;

    BOOL m_bKeepOpen = FALSE;
    BOOL m_bDisabled = FALSE;
    BOOL m_bListUsed = FALSE;
    BOOL m_bAtTop = FALSE;
    // The edit held the keys when the bar went into its strip.
    bool m_bEditHadKeys = false;
    // When the user last called the bar and its edit took the keys.
    ULONGLONG m_ullCalledAt = 0;
    bool m_bExpandedRunning = false;
    CDockWnd2* m_pExpanded = nullptr;
    bool m_bFirstLayoutDone = false;
    int m_nCategory = 0;
    int m_nDate = 0;
    DWORD m_dwFilterMask = 0;
    DWORD m_dwScope = SCOPE_EXISTING | SCOPE_DELETED | SCOPE_WEB;
    DWORD m_dwFileState = 0;
    ULONGLONG m_ullLastChange = 0;
    std::wstring m_strLastQuery;
    RECT m_rcEdit = {30, 30, 701, 51};
    RECT m_rcCreate = {0, 0, 0, 0};
    // Where the scope popup stood when it answered: the pointer, still there
    // after a click on one of its rows (below the bar), keeps the bar until
    // it has left that place once.
    RECT m_rcScopeLeft = {0, 0, 0, 0};
    UINT m_timers = 0;
    int m_nSearchRuns = 0;
    std::wstring m_strLastWebUrl;

    // The heights the panels were given by their layout or by the user's
    // edge drags; a move keeps them (cut only near the screen's bottom).
    int m_nResultHeight = 0;
    int m_nWebHeight = 0;
    // The web panel is hidden only for want of room under a low bar.
    bool m_bWebWaitsForRoom = false;
    // The window manager keeps windows wholly on the screen (it moved a
    // panel that ran past the screen's bottom): panels are cut to the screen.
    bool m_bPanelsFitScreen = false;
    // Panels put back under the bar since the last layout of the program's
    // own: a window manager that keeps moving them wins in the end.
    int m_nPanelFixes = 0;

    // Dragging the bar.
    bool m_bDragArmed = false;
    bool m_bDragFirstMove = true;
    bool m_bDragMoved = false;
    POINT m_ptDragAnchor = {0, 0};
    RECT m_rcDragOutline = {0, 0, 0, 0};
};
