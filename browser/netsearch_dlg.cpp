#include "browser/netsearch_dlg.h"

#include <windowsx.h>

#include "platform/window.h"

const wchar_t kNetSearchHomeUrl[] = L"https://www.baidu.com/";

namespace {

// The web view sits inside the panel's frame and strips.
const int kViewInsetX = 18;
const int kViewInsetTop = 22;
const int kViewInsetBottom = 16;
// The drag line: 4 px tall, 8 px in from the panel's sides.
const int kLineHeight = 4;
const int kLineInset = 8;
// The panel never gets shorter than this by dragging.
const int kMinPanelHeight = 56;
// The view is raised again this long after a show.
const UINT_PTR kRaiseViewTimer = 1;
const UINT kRaiseViewDelayMs = 300;

} // namespace

// ---------------------------------------------------------------- web view

CNetSearchCtrl::CNetSearchCtrl()
    : CBkDialogViewImpl<CNetSearchCtrl>(IDR_LAYOUT_NETSEARCH_VIEW),
      m_frame(static_cast<IDispatch*>(static_cast<KJsDispatcherImpl<CNetSearchCtrl>*>(this))),
      m_strErrorUrl(CKIEFrame::ResourcePageUrl(IDR_PAGE_ERROR)) {
    // It floats over the panel, whose frame and shadow already frame it.
    EnableShadow(FALSE);
}

CNetSearchCtrl::~CNetSearchCtrl() {
    // The browser lets go of window.external (this object) first.
    m_frame.Destroy();
}

void CNetSearchCtrl::Navigate(const std::wstring& url) {
    m_frame.Navigate(url.c_str(), m_strErrorUrl.c_str());
}

const CNetSearchCtrl::ScriptMethod* CNetSearchCtrl::FindScriptMethod(const std::wstring& name) {
    static const KJsMethodTable<CNetSearchCtrl> table{
        {L"settitle", &CNetSearchCtrl::OnSetTitle},
    };
    return table.Find(name);
}

void CNetSearchCtrl::OnSetTitle(BkJson::Document& params, BkJson::Document&) {
    SetItemText(IDC_NETSEARCH_TITLE, params[L"wndtitle"].GetString());
}

LRESULT CNetSearchCtrl::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    m_frame.Create(m_richView.Handle());
    m_strHomeUrl = kNetSearchHomeUrl;
    // A search asked for before the window existed wins over the home page.
    if (m_frame.GetUrl().empty()) m_frame.Navigate(m_strHomeUrl.c_str(), m_strErrorUrl.c_str());
    return TRUE;
}

LRESULT CNetSearchCtrl::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    m_frame.Destroy();
    bHandled = FALSE;
    return 0;
}

// ---------------------------------------------------------------- panel

CNetSearchDlg::CNetSearchDlg()
    : CBkDialogViewImpl<CNetSearchDlg>(IDR_LAYOUT_NETSEARCH_PANEL), m_dragLine(IDR_LAYOUT_DRAGLINE, kLineHeight) {
    // Its skin draws its own shadow; the framework's, an owned window,
    // would stand over the panel.
    EnableShadow(FALSE);
}

CNetSearchDlg::~CNetSearchDlg() {
    DestroyPanel();
}

void CNetSearchDlg::DestroyPanel() {
    m_webView.GetBrowserFrame().Destroy();
    if (m_webView.IsWindow()) m_webView.DestroyWindow();
    if (m_dragLine.IsWindow()) m_dragLine.DestroyWindow();
    if (IsWindow()) DestroyWindow();
}

void CNetSearchDlg::UpdateLayout(int topLimit) {
    if (topLimit != -1) m_nTopLimit = topLimit;
    if (!IsWindow() || !m_webView.IsWindow()) return;
    RECT rc = GetWindowRect();
    if (::IsRectEmpty(&rc)) return;
    m_webView.SetWindowPos(nullptr, rc.left + kViewInsetX, rc.top + kViewInsetTop,
                           (rc.right - rc.left) - 2 * kViewInsetX,
                           (rc.bottom - rc.top) - kViewInsetTop - kViewInsetBottom,
                           SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNetSearchDlg::FollowVisibility(bool shown) {
    if (shown) {
        UpdateLayout(-1);
        if (m_webView.IsWindow()) m_webView.ShowWindow(SW_SHOWNA);
    } else {
        CancelDrag();
        if (m_webView.IsWindow()) m_webView.ShowWindow(SW_HIDE);
    }
}

LRESULT CNetSearchDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    // The panel is named after its title strip (window lists, accessibility).
    if (CBkWindow* title = m_richView.FindControl(IDC_NETSEARCH_TOP_EDGE)) {
        std::wstring text = title->GetInnerText();
        const size_t first = text.find_first_not_of(L" \u00A0");
        SetWindowText(first == std::wstring::npos ? L"" : text.c_str() + first);
    }
    ModifyStyleEx(0, WS_EX_LAYERED);
    BkUpdateLayeredView(Handle(), m_richView);
    // Owned by the panel: it stays above it and never outlives it.
    m_webView.Create(Handle());
    m_dragLine.CreateHidden(Handle());
    return TRUE;
}

LRESULT CNetSearchDlg::OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    UpdateLayout(-1);
    if (m_hWndOwner && ::IsWindow(m_hWndOwner)) ::PostMessageW(m_hWndOwner, WM_PANEL_MOVED, 0, 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CNetSearchDlg::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam) {
        m_bRaiseView = true;
        PostMessage(WM_LAYERED_REFRESH);
    }
    FollowVisibility(wParam != 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CNetSearchDlg::OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    // SetWindowPos shows and hides without WM_SHOWWINDOW.
    const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && (pos->flags & SWP_SHOWWINDOW)) {
        m_bRaiseView = true;
        PostMessage(WM_LAYERED_REFRESH);
        FollowVisibility(true);
    } else if (pos && (pos->flags & SWP_HIDEWINDOW)) {
        FollowVisibility(false);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CNetSearchDlg::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    BkUpdateLayeredView(Handle(), m_richView);
    KeepViewAbovePanel();
    return 0;
}

// An owned window should stand above its owner, and in the system's order
// the view does; but under an X server Wine restacks a window only when it
// becomes the first of all, and a show or a layered update of the panel can
// leave the panel over its view there, the view hidden under the panel's
// white skin. After a show (posted: during WM_SHOWWINDOW nothing is stacked
// yet) the panel goes to the top first and the view after it. A window
// manager that stacks a window it maps only once it has handled the map
// (metacity puts it under the focused window then) can still put the panel
// over the view after that, so the view is raised once more a moment later.
void CNetSearchDlg::KeepViewAbovePanel() {
    if (!m_bRaiseView) return;
    m_bRaiseView = false;
    RaiseView();
    ::SetTimer(Handle(), kRaiseViewTimer, kRaiseViewDelayMs, nullptr);
}

void CNetSearchDlg::RaiseView() {
    if (!IsWindow() || !IsWindowVisible() || !m_webView.IsWindow() || !m_webView.IsWindowVisible()) return;
    // Wine gives the panel a new X window at its first layered update and
    // leaves the view's X hints naming the old one as the window it stands
    // over; a window manager that keeps such windows over their owner
    // (metacity) then stacks them apart. A change of the view's enabled
    // state has Wine write the hints anew, naming the panel's window.
    if (m_webView.IsWindowEnabled()) {
        m_webView.EnableWindow(false);
        m_webView.EnableWindow(true);
    }
    const bool topmost = (GetExStyle() & WS_EX_TOPMOST) != 0;
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    SetWindowPos(topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, flags);
    // Already first after its owner's move: it steps back and up again, so
    // that X hears of it too.
    if (topmost) {
        platform::RaiseAboveAll(m_webView.Handle());
    } else {
        m_webView.SetWindowPos(HWND_TOP, 0, 0, 0, 0, flags);
    }
}

LRESULT CNetSearchDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam != kRaiseViewTimer) {
        bHandled = FALSE;
        return 0;
    }
    ::KillTimer(Handle(), kRaiseViewTimer);
    RaiseView();
    return 0;
}

LRESULT CNetSearchDlg::OnEdgeButtonDown(int, NMHDR* pnmh, BOOL& bHandled) {
    const UINT item = reinterpret_cast<BKNMCOMMAND*>(pnmh)->uItemID;
    if (item != IDC_NETSEARCH_TOP_EDGE && item != IDC_NETSEARCH_BOTTOM_EDGE) {
        bHandled = FALSE;
        return 0;
    }
    // Every press starts afresh, whatever an earlier drag left behind.
    CancelDrag();
    m_bDragging = true;
    m_edge = item == IDC_NETSEARCH_TOP_EDGE ? EDGE_TOP : EDGE_BOTTOM;
    return 0;
}

LRESULT CNetSearchDlg::OnEdgeButtonUp(int, NMHDR*, BOOL& bHandled) {
    OnDragEnd();
    bHandled = FALSE;
    return 0;
}

LRESULT CNetSearchDlg::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    // A move without the button down means the press was lost elsewhere.
    if (m_bDragging && !(wParam & MK_LBUTTON)) {
        CancelDrag();
        return 0;
    }
    OnDragMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    return 0;
}

LRESULT CNetSearchDlg::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    // Dragging the top edge up takes the pointer out of the panel; while the
    // view still holds the pressed button's capture the mouse is not lost
    // (some systems report the leave all the same).
    const bool held = ::GetCapture() == m_richView.Handle() && (::GetKeyState(VK_LBUTTON) & 0x8000) != 0;
    if (!held) CancelDrag();
    bHandled = FALSE;
    return 0;
}

void CNetSearchDlg::CancelDrag() {
    m_bDragging = false;
    m_bMoved = false;
    m_bFirstMove = true;
    m_bHaveDragRect = false;
    ::SetRectEmpty(&m_rcDrag);
    m_dragLine.Hide();
}

void CNetSearchDlg::OnDragMove(int x, int y) {
    if (!m_bDragging) return;
    m_bMoved = true;
    RECT rc = GetWindowRect();
    if (m_bFirstMove) {
        m_bFirstMove = false;
        m_ptDragStart = POINT{x, y};
        RECT line = {rc.left + kLineInset, 0, rc.right - kLineInset, 0};
        line.top = m_edge == EDGE_BOTTOM ? rc.bottom - kLineHeight : rc.top;
        line.bottom = line.top + kLineHeight;
        m_dragLine.ShowAt(line);
        return;
    }
    const int delta = y - m_ptDragStart.y;
    if (m_edge == EDGE_TOP) rc.top += delta;
    else rc.bottom += delta;
    if (m_bHaveDragRect && ::EqualRect(&rc, &m_rcDrag)) return;
    if (rc.bottom - kMinPanelHeight < rc.top) return;
    if (m_edge == EDGE_TOP && rc.top < m_nTopLimit) return;
    if (m_edge == EDGE_BOTTOM && rc.bottom > m_nBottomLimit) return;

    RECT line = {rc.left + kLineInset, 0, rc.right - kLineInset, 0};
    line.top = m_edge == EDGE_BOTTOM ? rc.bottom - kLineHeight : rc.top;
    line.bottom = line.top + kLineHeight;
    m_dragLine.ShowAt(line);
    m_rcDrag = rc;
    m_bHaveDragRect = true;
}

void CNetSearchDlg::OnDragEnd() {
    // A drag whose every move was refused changes nothing, like a click.
    if (!m_bDragging || !m_bMoved || !m_bHaveDragRect) {
        CancelDrag();
        return;
    }
    const Edge edge = m_edge;
    const RECT target = m_rcDrag;
    CancelDrag();
    RECT rc = GetWindowRect();
    if (edge == EDGE_TOP) rc.top = target.top;
    else rc.bottom = target.bottom;
    SetWindowPos(nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    BkUpdateLayeredView(Handle(), m_richView);
    if (m_hWndOwner && ::IsWindow(m_hWndOwner))
        ::SendMessageW(m_hWndOwner, WM_PANEL_RESIZE, static_cast<WPARAM>(rc.top), 0);
}
