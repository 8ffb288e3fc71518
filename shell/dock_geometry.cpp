// The geometry side of the bar: the panels hanging under it, moving and
// dragging it, hiding into the strip at the screen top and coming back.

#include <algorithm>
#include <climits>

#include "browser/netsearch_dlg.h"
#include "results/search_result_wnd.h"
#include "shell/dock_wnd.h"
#include "shell/layered_view.h"

namespace {

int TaskbarHeight() {
    HWND tray = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT rc = {};
    if (tray == nullptr || !::GetWindowRect(tray, &rc)) return 0;
    const int height = rc.bottom - rc.top;
    return height < ::GetSystemMetrics(SM_CYSCREEN) ? height : 0;
}

// The desktop and the shell's own windows are never a full-screen program.
bool IsShellWindow(HWND hwnd) {
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    if (root == nullptr) root = hwnd;
    if (root == ::GetDesktopWindow() || root == ::GetShellWindow()) return true;
    wchar_t cls[64] = {};
    ::GetClassNameW(root, cls, 64);
    return lstrcmpW(cls, L"Progman") == 0 || lstrcmpW(cls, L"WorkerW") == 0 || lstrcmpW(cls, L"Shell_TrayWnd") == 0;
}

// The cursor inside the rectangle widened by the margins; the left margin
// only applies when the rectangle's left lies beyond it.
bool CursorNear(const POINT& pt, RECT rc, int left, int right, int down) {
    if (rc.left > left) rc.left -= left;
    rc.right += right;
    rc.bottom += down;
    return ::PtInRect(&rc, pt) != FALSE;
}

} // namespace

bool CDockWnd::IsFullScreenAppInFront() {
    HWND desktop = ::GetDesktopWindow();
    RECT rc = {};
    POINT cursor = {};
    if (desktop == nullptr || !::GetWindowRect(desktop, &rc) || !::GetCursorPos(&cursor)) return false;
    const POINT points[] = {{0, 0}, {rc.right - 1, 0}, {0, rc.bottom - 1}, {rc.right - 1, rc.bottom - 1}, cursor};
    HWND first = ::WindowFromPoint(points[0]);
    if (first == nullptr || IsShellWindow(first)) return false;
    for (const POINT& pt : points)
        if (::WindowFromPoint(pt) != first) return false;
    return true;
}

int CDockWnd::ResultPanelHeight(int rows, int panelTop, int screenHeight, int taskbarHeight) {
    const int free = std::max(0, screenHeight - taskbarHeight - panelTop);
    const int maximum = std::max(kPanelEmptyHeight, (free / 5) * 3);
    if (rows <= 0) return kPanelEmptyHeight;
    // Capped before the multiplication: any count above this fills the maximum.
    const int capped = std::min(rows, maximum / kRowHeight + 1);
    return std::max(kPanelEmptyHeight, std::min(capped * kRowHeight + kPanelFixedPart, maximum));
}

int CDockWnd::WorkAreaBottom() const {
    // The screen above the taskbar, and within the work area of the bar's
    // monitor (other desktops reserve strips of their own).
    int bottom = ::GetSystemMetrics(SM_CYSCREEN) - TaskbarHeight();
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = ::MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST);
    if (monitor && ::GetMonitorInfoW(monitor, &info)) bottom = std::min<int>(bottom, info.rcWork.bottom);
    return bottom;
}

RECT CDockWnd::PanelSpanUnderBar() const {
    RECT bar = const_cast<CDockWnd*>(this)->GetWindowRect();
    return RECT{bar.left, bar.bottom - kPanelOverlap, bar.right, bar.bottom - kPanelOverlap};
}

int CDockWnd::FreeHeight() {
    // Measured as for a bar at the screen top, wherever it stands: a panel
    // under a lower bar keeps its height and runs past the screen's bottom,
    // which cuts it and its list together.
    const RECT bar = GetWindowRect();
    return std::max<int>(0, WorkAreaBottom() + kPanelOverlap - (bar.bottom - bar.top));
}

int CDockWnd::HeightOnScreen(int top, int height, int minHeight, int screenHeight) {
    const int shown = std::max(0, screenHeight - top);
    if (height > shown * 10) return std::max(minHeight, shown * 10);
    // Openbox would move this one down a pixel; ten times what shows keeps
    // it in place, only the part under the screen grows.
    if (shown > 0 && height / 10 == shown - 1) return shown * 10;
    return height;
}

int CDockWnd::PanelHeightAt(int top, int height, int minHeight) const {
    if (m_bPanelsFitScreen) return std::max(1, std::min(height, WorkAreaBottom() - top));
    return HeightOnScreen(top, height, minHeight, ::GetSystemMetrics(SM_CYSCREEN));
}

void CDockWnd::PlaceWebPanel(int left, int top, int width) {
    if (!m_pNetSearch->IsWindow()) return;
    if (m_nWebHeight <= 0) {
        const RECT web = m_pNetSearch->GetWindowRect();
        m_nWebHeight = std::max<int>(kMinPanelHeight, web.bottom - web.top);
    }
    const int screen = ::GetSystemMetrics(SM_CYSCREEN);
    const int height = PanelHeightAt(top, m_nWebHeight, kMinPanelHeight);
    const bool noRoom = m_bPanelsFitScreen ? WorkAreaBottom() - top < kMinPanelHeight
                                           : height > std::max(0, screen - top) * 10;
    if (noRoom) {
        // Not even its least height would keep a tenth on the screen.
        if (IsWebPanelVisible()) {
            m_bWebWaitsForRoom = true;
            ::ShowWindow(m_pNetSearch->Handle(), SW_HIDE);
            m_pNetSearch->GetDragLine().Hide();
        }
        return;
    }
    ::SetWindowPos(m_pNetSearch->Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_bWebWaitsForRoom) {
        m_bWebWaitsForRoom = false;
        ::ShowWindow(m_pNetSearch->Handle(), SW_SHOWNA);
    }
}

void CDockWnd::LayoutResultPanel() {
    if (!m_searchCtrl.IsWindow()) return;
    const int screen = ::GetSystemMetrics(SM_CYSCREEN);
    const int workBottom = WorkAreaBottom();
    const RECT span = PanelSpanUnderBar();
    const int free = FreeHeight();
    const RECT bar = GetWindowRect();
    m_nResultHeight = ResultPanelHeight(m_searchCtrl.RowCount(), static_cast<int>(bar.bottom - bar.top) - kPanelOverlap,
                                        screen, screen - workBottom);
    m_nPanelFixes = 0;
    const int height = PanelHeightAt(span.top, m_nResultHeight, kPanelEmptyHeight);
    ::SetWindowPos(m_searchCtrl.Handle(), nullptr, span.left, span.top, span.right - span.left, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_searchCtrl.UpdateLayout(span.top + free - 64);
    m_searchCtrl.Repaint();

    // The web panel fills the rest of the free height.
    if (!m_pNetSearch->IsWindow()) return;
    const int webTop = span.top + height;
    m_nWebHeight = std::max<int>(kMinPanelHeight, span.top + free - (span.top + m_nResultHeight));
    PlaceWebPanel(span.left, webTop, span.right - span.left);
    m_pNetSearch->UpdateLayout(span.top + 64);
    ::SendMessageW(m_pNetSearch->Handle(), WM_LAYERED_REFRESH, 0, 0);
    m_pNetSearch->SetBottomLimit(kNoDragLimit);
}

LRESULT CDockWnd::OnMoveMsg(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    OnMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    bHandled = FALSE;  // the frame's shadow follows too
    return 0;
}

LRESULT CDockWnd::OnActivate(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    // Wine raises the X window of a clicked bar once the activation is done,
    // over the edit, without a move in the window list: the edit follows.
    if (LOWORD(wParam) != WA_INACTIVE) ::PostMessageW(Handle(), kKeepEditAboveMessage, 0, 0);
    m_hClickedAwayFrom = LOWORD(wParam) == WA_CLICKACTIVE ? reinterpret_cast<HWND>(lParam) : nullptr;
    bHandled = FALSE;
    return 0;
}

void CDockWnd::OnMove(int x, int y) {
    // A window manager's move, about to be undone, is not the user's.
    if (!m_place.UndoPending()) m_bKeepOpen = FALSE;
    m_bAtTop = y <= 0 ? TRUE : FALSE;
    if (m_edit.IsWindow()) {
        ::SetWindowPos(m_edit.Handle(), nullptr, x + m_rcEdit.left, y + m_rcEdit.top, m_rcEdit.right - m_rcEdit.left,
                       m_rcEdit.bottom - m_rcEdit.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_nPanelFixes = 0;
    if (m_searchCtrl.IsWindow()) {
        // The panels keep their heights and hang under the bar wherever it
        // stands; below the screen's bottom the screen cuts them (and the
        // result list, which the panel carries along) instead of squeezing.
        const RECT span = PanelSpanUnderBar();
        if (IsLocalScope()) {
            EnableWebItems(true);
            if (m_nResultHeight <= 0) {
                const RECT panel = m_searchCtrl.GetWindowRect();
                m_nResultHeight = static_cast<int>(panel.bottom - panel.top);
            }
            const int height = PanelHeightAt(span.top, m_nResultHeight, kPanelEmptyHeight);
            ::SetWindowPos(m_searchCtrl.Handle(), nullptr, span.left, span.top, span.right - span.left, height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            if (m_pNetSearch->IsWindow()) {
                PlaceWebPanel(span.left, span.top + height, span.right - span.left);
                if (IsWebPanelVisible()) m_searchCtrl.SetBottomLimit(m_pNetSearch->GetWindowRect().bottom - 64);
                m_pNetSearch->UpdateLayout(y + 64);
            }
        } else {
            ShowResultPanel(false);
            if (m_pNetSearch->IsWindow()) {
                if (!IsWebPanelVisible() && !m_bWebWaitsForRoom) m_nWebHeight = kWebPanelHeight;
                PlaceWebPanel(span.left, span.top, span.right - span.left);
                m_pNetSearch->UpdateLayout(span.top);
            }
            EnableWebItems(false);
        }
        if (m_pNetSearch->IsWindow()) ::SendMessageW(m_pNetSearch->Handle(), WM_LAYERED_REFRESH, 0, 0);
    }
    Repaint();
}

LRESULT CDockWnd::OnPanelResize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    const int edge = static_cast<int>(static_cast<LONG>(wParam));
    if (lParam == 1 && IsWebPanelVisible()) {
        // The result panel's bottom moved: the web panel's top follows.
        const RECT web = m_pNetSearch->GetWindowRect();
        if (web.bottom - edge > 0) {
            ::SetWindowPos(m_pNetSearch->Handle(), nullptr, web.left, edge, web.right - web.left, web.bottom - edge,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            m_nWebHeight = static_cast<int>(web.bottom - edge);
            m_nResultHeight = edge - static_cast<int>(m_searchCtrl.GetWindowRect().top);
            m_pNetSearch->UpdateLayout(m_searchCtrl.GetWindowRect().top + 64);
            ::SendMessageW(m_pNetSearch->Handle(), WM_LAYERED_REFRESH, 0, 0);
        }
    } else if (lParam == 0 && m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible()) {
        // The web panel's top moved: the result panel's bottom follows.
        const RECT panel = m_searchCtrl.GetWindowRect();
        if (edge - panel.top > 0) {
            ::SetWindowPos(m_searchCtrl.Handle(), nullptr, panel.left, panel.top, panel.right - panel.left,
                           edge - panel.top, SWP_NOZORDER | SWP_NOACTIVATE);
            m_nResultHeight = edge - static_cast<int>(panel.top);
            if (m_pNetSearch->IsWindow()) {
                const RECT web = m_pNetSearch->GetWindowRect();
                m_nWebHeight = static_cast<int>(web.bottom - web.top);
                m_searchCtrl.SetBottomLimit(web.bottom - 64);
            }
            m_searchCtrl.Repaint();
        }
    }
    return 0;
}

LRESULT CDockWnd::OnPanelMoved(UINT, WPARAM, LPARAM, BOOL&) {
    KeepPanelsUnderBar();
    return 0;
}

void CDockWnd::KeepPanelsUnderBar() {
    // While the bar is dragged or hidden the panels follow it later.
    if (!IsWindow() || !IsWindowVisible() || m_bDragMoved || m_nPanelFixes >= 3) return;
    const RECT span = PanelSpanUnderBar();
    const int width = span.right - span.left;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    const bool resultShown = m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible();
    int webTop = span.top;
    if (resultShown) {
        const RECT panel = m_searchCtrl.GetWindowRect();
        if (panel.top != span.top || panel.left != span.left || panel.right != span.right) {
            // Moved by the window manager, not by the bar: one that pulls a
            // panel running past the screen's bottom back up, over the bar,
            // gets panels that fit from now on.
            ++m_nPanelFixes;
            if (panel.bottom <= ::GetSystemMetrics(SM_CYSCREEN)) m_bPanelsFitScreen = true;
            if (m_nResultHeight <= 0) m_nResultHeight = static_cast<int>(panel.bottom - panel.top);
            const int height = PanelHeightAt(span.top, m_nResultHeight, kPanelEmptyHeight);
            ::SetWindowPos(m_searchCtrl.Handle(), nullptr, span.left, span.top, width, height, flags);
            m_searchCtrl.Repaint();
        }
        if (IsLocalScope()) webTop = m_searchCtrl.GetWindowRect().bottom;
    }
    if (IsWebPanelVisible()) {
        const RECT web = m_pNetSearch->GetWindowRect();
        if (web.top != webTop || web.left != span.left || web.right != span.right) {
            ++m_nPanelFixes;
            if (web.bottom <= ::GetSystemMetrics(SM_CYSCREEN)) m_bPanelsFitScreen = true;
            PlaceWebPanel(span.left, webTop, width);
            ::SendMessageW(m_pNetSearch->Handle(), WM_LAYERED_REFRESH, 0, 0);
        }
    }
}

// --- auto-hide into the strip and back -------------------------------------------

void CDockWnd::AutoHide() {
    const bool barVisible = IsWindowVisible();
    const bool panelVisible = m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible();
    if (m_bKeepOpen || (!panelVisible && !barVisible)) return;
    // Nor while a dialog or box holds the program: the strip would show over it.
    if (CBkDialogHost::RunningModal()) return;
    if (!m_bListUsed) {
        POINT pt = {};
        if (::GetCursorPos(&pt)) {
            if (!::IsRectEmpty(&m_rcScopeLeft)) {
                if (::PtInRect(&m_rcScopeLeft, pt)) return;
                ::SetRectEmpty(&m_rcScopeLeft);
            }
            if (barVisible && CursorNear(pt, GetWindowRect(), 55, 15, 15)) return;
            if (panelVisible &&
                CursorNear(pt, m_searchCtrl.GetWindowRect(), 35, 15, IsWebPanelVisible() ? 0 : 15)) {
                return;
            }
            if (IsWebPanelVisible() && CursorNear(pt, m_pNetSearch->GetWindowRect(), 35, 15, 1935)) return;
        }
    }
    if (!m_bAtTop) return;

    const RECT bar = GetWindowRect();
    const bool editVisible = m_edit.IsWindow() && m_edit.IsWindowVisible();
    m_bEditHadKeys = editVisible && ::GetFocus() == m_edit.Handle() && ::GetForegroundWindow() == m_edit.Handle();
    if (editVisible) ::ShowWindow(m_edit.Handle(), SW_HIDE);
    HWND results = m_searchCtrl.ResultHandle();
    HWND foreground = ::GetForegroundWindow();
    const bool listHadFocus =
        results && (foreground == results || (foreground && ::IsChild(results, foreground)));
    ShowResultPanel(false);
    const bool webVisible = IsWebPanelVisible();
    HideWebPanel();
    ::ShowWindow(Handle(), SW_HIDE);
    m_keyAnchor.Destroy();

    m_miniDock.Setup(listHadFocus, editVisible, panelVisible, webVisible, bar.left + 4, 0, bar.right - 4, 6, Handle());
    if (m_miniDock.IsWindow()) {
        ::SetWindowPos(m_miniDock.Handle(), HWND_TOPMOST, bar.left + 4, 0, bar.right - bar.left - 8, 6,
                       SWP_NOACTIVATE | SWP_SHOWWINDOW);
        UpdateLayeredView(m_miniDock);
    }
    StopTimer(IDT_DOCK_AUTOHIDE);
}

LRESULT CDockWnd::OnTrayNotify(UINT, WPARAM wParam, LPARAM, BOOL&) {
    // Only the strip's own record, sent from this thread, is read: any other
    // value might be another program's number, not an address of ours.
    const MiniDockRestore* state = reinterpret_cast<const MiniDockRestore*>(wParam);
    if (state != &m_miniDock.Record() || (::InSendMessageEx(nullptr) & ISMEX_SEND)) return 0;
    RestoreFrom(*state);
    return 0;
}

void CDockWnd::RestoreFrom(const MiniDockRestore& state) {
    m_bListUsed = FALSE;
    const int width = state.StripRight - state.StripLeft + 8;
    m_place.SetPos(Handle(), nullptr, state.StripLeft - 4, state.StripTop, width, state.DockBottom - state.StripTop,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(Handle(), SW_SHOWNA);
    if (state.ResultPanelVisible && m_searchCtrl.IsWindow()) {
        ::ShowWindow(m_searchCtrl.Handle(), SW_SHOWNA);
        if (HWND results = m_searchCtrl.ResultHandle()) {
            ::ShowWindow(results, SW_SHOWNA);
            if (state.ListHadFocus) ::SetFocus(m_searchCtrl.ListHandle() ? m_searchCtrl.ListHandle() : results);
        }
    }
    if (state.EditVisible && m_edit.IsWindow()) ::ShowWindow(m_edit.Handle(), SW_SHOWNA);
    if (state.WebPanelVisible) ShowWebPanel();
    StartTimer(IDT_DOCK_AUTOHIDE, 250);
    // The user left the bar with the keys in its edit: they come back with it.
    if (m_bEditHadKeys && state.EditVisible && !state.ListHadFocus) TakeKeyboardIntoEdit();
    m_bEditHadKeys = false;
}

// --- dragging the bar ------------------------------------------------------------

LRESULT CDockWnd::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    OnDragMouseMove(wParam, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return 0;
}

LRESULT CDockWnd::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    // Wine reports the pointer leaving the bar while a press on it still
    // holds the mouse (seen on the press that activates the bar, the first
    // drag after typing): the drag goes on until the button comes up, and a
    // move without the button ends it should that release get lost.
    if (m_bDragArmed && (::GetKeyState(VK_LBUTTON) & 0x8000) != 0) return 0;
    CancelDrag();
    return 0;
}

void CDockWnd::OnDragMouseMove(WPARAM keys, int x, int y) {
    if (!m_bDragArmed) return;
    if (!(keys & MK_LBUTTON)) {
        // The release never reached us (the mouse was lost): nothing moves.
        CancelDrag();
        return;
    }
    m_bDragMoved = true;
    m_bKeepOpen = TRUE;
    const RECT bar = GetWindowRect();
    if (m_bDragFirstMove) {
        m_bDragFirstMove = false;
        m_ptDragAnchor = POINT{x, y};
        m_rcDragOutline = bar;
        m_dragBox.ShowAt(m_rcDragOutline);
        // Over the bar's own panels and list while the bar is dragged over them.
        m_dragBox.BringAboveAll();
        return;
    }
    RECT rc = bar;
    ::OffsetRect(&rc, x - m_ptDragAnchor.x, y - m_ptDragAnchor.y);
    if (::EqualRect(&rc, &m_rcDragOutline)) return;
    const int screen = ::GetSystemMetrics(SM_CYSCREEN);
    if (rc.bottom > screen) ::OffsetRect(&rc, 0, screen - rc.bottom);
    m_dragBox.ShowAt(rc);
    m_rcDragOutline = rc;
}

void CDockWnd::OnDragEnd() {
    if (!m_bDragArmed) return;
    if (!m_bDragMoved) {
        CancelDrag();
        return;
    }
    const bool outlineShown = m_dragBox.IsWindow() && m_dragBox.IsWindowVisible();
    RECT rc = m_rcDragOutline;
    CancelDrag();
    if (!outlineShown) return;
    if (rc.top < 0) ::OffsetRect(&rc, 0, -rc.top);
    m_place.SetPos(Handle(), nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The press took the keyboard from the edit (onto the bar): the user
    // goes on typing into the edit after moving the bar.
    if (m_edit.IsWindow() && m_edit.IsWindowVisible()) {
        ::SetActiveWindow(m_edit.Handle());
        ::SetFocus(m_edit.Handle());
    }
}

void CDockWnd::CancelDrag() {
    const bool wasDragging = m_bDragMoved;
    m_bDragArmed = false;
    m_bDragMoved = false;
    m_bDragFirstMove = true;
    ::SetRectEmpty(&m_rcDragOutline);
    m_dragBox.Hide();
    if (wasDragging) m_bKeepOpen = FALSE;
}
