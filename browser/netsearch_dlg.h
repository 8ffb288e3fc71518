#pragma once
// The web-search panel of the docked search bar.
//
// CNetSearchDlg (layout 121) is a layered skinned panel whose top strip
// (item 1000) and bottom strip (item 1001) can be dragged to resize it.
// Over it floats CNetSearchCtrl (layout 120), the web view: a popup owned by
// the panel, shown and hidden with it, that holds the browser host and is
// the page's window.external.
//
// The dock owns one panel:
//   m_netSearch.SetOwner(bar);                 // WM_PANEL_RESIZE goes there
//   m_netSearch.SetBottomLimit(1920);
//   m_netSearch.Create(::GetDesktopWindow());  // created hidden
//   m_netSearch.Navigate(url);                 // also before Create: kept
//   m_netSearch.MoveWindow(rc); m_netSearch.UpdateLayout(barBottom);
//   m_netSearch.ShowWindow(SW_SHOWNA);         // the web view follows
//   m_netSearch.DestroyPanel();
// After an edge drag the panel sends WM_PANEL_RESIZE (its new top, 0) to the
// owner. The panel needs the program's COM apartment (start-up's
// single-threaded initialisation); it starts none of its own. Neither window
// takes the keyboard when a window manager offers it (a newly shown window
// may be handed the focus): the search edit keeps it while the user types.
#include <windows.h>

#include <string>

#include "browser/kieframe.h"
#include "browser/kjsdispatcher.h"
#include "platform/activation.h"
#include "ui/bkdlgimpl.h"
#include "ui/bkdragbox.h"
#include "ui/bklayered.h"

// Sent by a panel to its owner after the user dragged one of its edges:
// wParam the edge's new screen y (the web panel: its top), lParam which
// panel (0 the web panel, 1 the result panel).
constexpr UINT WM_PANEL_RESIZE = 5373;
// Posted by a panel to its owner whenever its window moved or changed size,
// whoever moved it: a window manager may move a panel by itself (one that
// keeps windows wholly on the screen pushes a panel running past the
// screen's bottom up over the bar), and the owner lays it out again.
constexpr UINT WM_PANEL_MOVED = WM_APP + 0x118;

const UINT IDR_LAYOUT_NETSEARCH_VIEW = 120;
const UINT IDR_LAYOUT_NETSEARCH_PANEL = 121;
const UINT IDR_LAYOUT_DRAGLINE = 123;
const UINT IDC_NETSEARCH_TOP_EDGE = 1000;     // items of layout 121
const UINT IDC_NETSEARCH_BOTTOM_EDGE = 1001;
const UINT IDC_NETSEARCH_TITLE = 100;         // "settitle" writes here when a layout has it
// The web search engine's root page, shown until the first search.
extern const wchar_t kNetSearchHomeUrl[];

class CNetSearchCtrl : public CBkDialogViewImpl<CNetSearchCtrl>, public KJsDispatcherImpl<CNetSearchCtrl> {
public:
    CNetSearchCtrl();
    ~CNetSearchCtrl() override;

    // Navigates the browser (stored until the window exists).
    void Navigate(const std::wstring& url);
    CKIEFrame& GetBrowserFrame() { return m_frame; }
    const std::wstring& GetErrorUrl() const { return m_strErrorUrl; }
    const std::wstring& GetHomeUrl() const { return m_strHomeUrl; }

    // Script methods: "settitle".
    static const ScriptMethod* FindScriptMethod(const std::wstring& name);

    WINDOW_MAP_BEGIN(CNetSearchCtrl)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        WINDOW_MAP_CHAIN(CBkDialogViewImpl<CNetSearchCtrl>)
    WINDOW_MAP_END()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
    }
    void OnSetTitle(BkJson::Document& params, BkJson::Document& result);

    CKIEFrame m_frame;
    std::wstring m_strErrorUrl;
    std::wstring m_strHomeUrl;
};

class CNetSearchDlg : public CBkDialogViewImpl<CNetSearchDlg> {
public:
    CNetSearchDlg();
    ~CNetSearchDlg() override;

    void SetOwner(HWND owner) { m_hWndOwner = owner; }
    HWND GetOwner() const { return m_hWndOwner; }
    // Lowest screen y the bottom edge may be dragged to.
    void SetBottomLimit(int y) { m_nBottomLimit = y; }
    int GetBottomLimit() const { return m_nBottomLimit; }
    int GetTopLimit() const { return m_nTopLimit; }

    // topLimit (not -1): the highest screen y the top edge may be dragged
    // to. Then places the web view over the panel, inset 18 px left and
    // right, 22 px at the top and 16 px at the bottom.
    void UpdateLayout(int topLimit);
    // Navigates the web view's browser.
    void Navigate(const std::wstring& url) { m_webView.Navigate(url); }
    // Destroys the browser, the web view, the drag line and the panel.
    void DestroyPanel();

    CNetSearchCtrl& GetWebView() { return m_webView; }
    CBkDragBox& GetDragLine() { return m_dragLine; }
    bool IsDragging() const { return m_bDragging; }

    WINDOW_MAP_BEGIN(CNetSearchDlg)
        ON_WINDOW_NOTIFY_CODE(IDC_BKVIEW, BKNM_LBUTTONDOWN, OnEdgeButtonDown)
        ON_WINDOW_NOTIFY_CODE(IDC_BKVIEW, BKNM_LBUTTONUP, OnEdgeButtonUp)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_MOVE, OnMoveOrSize)
        ON_WINDOW_MESSAGE(WM_SIZE, OnMoveOrSize)
        ON_WINDOW_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
        ON_WINDOW_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        WINDOW_MAP_CHAIN(CBkDialogViewImpl<CNetSearchDlg>)
    WINDOW_MAP_END()

private:
    enum Edge { EDGE_TOP = 0, EDGE_BOTTOM = 1 };

    LRESULT OnEdgeButtonDown(int, NMHDR* pnmh, BOOL& bHandled);
    LRESULT OnEdgeButtonUp(int, NMHDR*, BOOL&);
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL& bHandled);
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL& bHandled);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
    }

    void OnDragMove(int x, int y);
    void OnDragEnd();
    void CancelDrag();
    void FollowVisibility(bool shown);
    void KeepViewAbovePanel();
    void RaiseView();
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);

    CNetSearchCtrl m_webView;
    bool m_bDragging = false;
    bool m_bFirstMove = true;
    bool m_bMoved = false;
    Edge m_edge = EDGE_TOP;
    POINT m_ptDragStart = {0, 0};
    RECT m_rcDrag = {0, 0, 0, 0};
    bool m_bHaveDragRect = false;  // a move of this drag was accepted
    CBkDragBox m_dragLine;
    int m_nTopLimit = 0;
    int m_nBottomLimit = 0;
    HWND m_hWndOwner = nullptr;
    bool m_bRaiseView = false;     // a show waits for the view to go over the panel
};
