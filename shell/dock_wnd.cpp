#include "shell/dock_wnd.h"

#include <dbt.h>

#include <algorithm>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/search_query.h"
#include "platform/trace.h"
#include "platform/window.h"
#include "platform/work_area.h"
#include "browser/netsearch_dlg.h"
#include "results/search_result_wnd.h"
#include "shell/check_dlg.h"
#include "shell/dock_menu.h"
#include "shell/dock_wnd2.h"
#include "shell/layered_view.h"
#include "shell/web_search_url.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

namespace {

CIndexManager* Engine() { return GetAppContext()->IndexManager; }

LPCWSTR Text(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

ULONGLONG LocalNow() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    FILETIME ft = {};
    ::SystemTimeToFileTime(&st, &ft);
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// How long after a call a lost activation is taken for the window
// manager's doing rather than the user's.
constexpr ULONGLONG kCallGraceMs = 1000;

} // namespace

static_assert(CDockWnd::kPanelResizeMessage == WM_PANEL_RESIZE, "one number for the panels' edge drags");
static_assert(CDockWnd::kPanelMovedMessage == WM_PANEL_MOVED, "one number for the panels' moves");

CDockWnd::CDockWnd()
    : CBkDialogImpl<CDockWnd>(kLayout), m_dragBox(CDragBoxDlg::kOutlineLayout), m_pNetSearch(new CNetSearchDlg()) {
    m_miniDock.SetFullScreenTest(&CDockWnd::IsFullScreenAppInFront);
    // The skin draws the bar's shadow; the framework's, an owned window,
    // would stand over the bar.
    EnableShadow(FALSE);
}

CDockWnd::~CDockWnd() { DestroyPanels(); }

void CDockWnd::ResetState() {
    ::SetRectEmpty(&m_rcScopeLeft);
    m_bKeepOpen = FALSE;
    m_bDisabled = FALSE;
    m_bListUsed = FALSE;
    m_bAtTop = FALSE;
    m_bExpandedRunning = false;
    m_bFirstLayoutDone = false;
    m_nCategory = 0;
    m_nDate = 0;
    m_ullLastChange = 0;
    m_bDragArmed = false;
    m_bDragFirstMove = true;
    m_bDragMoved = false;
    m_place = platform::KeptPlace();
    // The scope outlives a close to the tray; what the bar shows and what its
    // footer link offers follow it, not a default of their own.
    m_dwFileState = SQS_ALL;
    SetFileStateFromScope();
    m_searchCtrl.SetViewDeleted((m_dwScope & SCOPE_EXISTING) ? FALSE : TRUE);
    m_timers = 0;
}

HWND CDockWnd::Create(HWND owner, const RECT& rc) { return CBkDialogImpl<CDockWnd>::Create(owner, rc); }

void CDockWnd::StartTimer(UINT_PTR id, UINT period) {
    if (!IsWindow()) return;
    ::SetTimer(Handle(), id, period, nullptr);
    m_timers |= 1u << id;
}

void CDockWnd::StopTimer(UINT_PTR id) {
    if (IsWindow()) ::KillTimer(Handle(), id);
    m_timers &= ~(1u << id);
}

void CDockWnd::Repaint() { UpdateLayeredView(*this); }

void CDockWnd::DestroyPanels() {
    if (!IsWindow()) return;
    for (UINT_PTR id = IDT_DOCK_WAIT_LOAD; id <= IDT_DOCK_TAKE_KEYS; ++id) StopTimer(id);
    CancelDrag();
    m_searchCtrl.DestroyPanel();
    m_pNetSearch->DestroyPanel();
    if (m_scopePopup.IsWindow()) m_scopePopup.DestroyWindow();
    if (m_miniDock.IsWindow()) m_miniDock.DestroyWindow();
    if (m_dragBox.IsWindow()) m_dragBox.DestroyWindow();
    m_keyAnchor.Destroy();
    DestroyWindow();
}

bool CDockWnd::IsMiniDockVisible() const { return m_miniDock.IsWindow() && m_miniDock.IsWindowVisible(); }

void CDockWnd::RestoreFromMiniDock() { m_miniDock.RestoreNow(); }

void CDockWnd::FocusEdit() {
    SetItemVisible(IDC_PLACEHOLDER, FALSE);
    Repaint();
    HWND edit = m_edit.Handle();
    if (edit == nullptr) return;
    ::SetForegroundWindow(Handle());
    const DWORD self = ::GetCurrentThreadId();
    const DWORD editThread = ::GetWindowThreadProcessId(edit, nullptr);
    const bool attach = editThread != 0 && editThread != self && ::AttachThreadInput(self, editThread, TRUE);
    ::ShowWindow(edit, SW_SHOWNORMAL);
    ::SetActiveWindow(edit);
    ::SetFocus(edit);
    if (attach) ::AttachThreadInput(self, editThread, FALSE);
}

void CDockWnd::TakeKeyboardIntoEdit() {
    if (!IsWindow() || !IsWindowVisible() || !m_edit.IsWindow()) return;
    // A window manager may keep the X focus on the window the call came
    // from (the tray's): the anchor brings it into the program, where the
    // edit holds the keys. It stays while the bar shows.
    m_keyAnchor.Create(Handle());
    m_keyAnchor.Catch();
    FocusEdit();
    m_ullCalledAt = ::GetTickCount64();
    ::PostMessageW(Handle(), WM_BKDLG_TAKE_KEYBOARD, 0, 0);
    // And once the window manager has dealt with the windows that went, if
    // it took the keys again (the strip it gave the focus hands it on as it
    // hides).
    StartTimer(IDT_DOCK_TAKE_KEYS, 300);
}

bool CDockWnd::KeysTakenFromEdit() const {
    HWND edit = m_edit.Handle();
    if (edit == nullptr || !IsWindowVisible() || !::IsWindowVisible(edit)) return false;
    // Taken by another program's window, as a window manager does with the
    // focus of a window that goes; not moved by the user within the program
    // (into the list, a dialog), nor left where the call put it: there a
    // window manager that gave the bar the focus keeps it.
    HWND foreground = ::GetForegroundWindow();
    DWORD pid = 0;
    return foreground == nullptr ||
           (::GetWindowThreadProcessId(foreground, &pid) && pid != ::GetCurrentProcessId());
}

LRESULT CDockWnd::OnTakeKeyboardAgain(UINT, WPARAM, LPARAM, BOOL&) {
    // Once more, newer than the focus change the window manager may have
    // made as the bar mapped; only while the edit still holds the keys.
    HWND edit = m_edit.Handle();
    if (edit == nullptr || ::GetFocus() != edit || !IsWindowVisible()) return 0;
    m_keyAnchor.Catch();
    FocusEdit();
    return 0;
}

void CDockWnd::KeepEditAbove() {
    HWND edit = m_edit.Handle();
    if (edit == nullptr || !IsWindow()) return;
    // A click goes to whichever X window is on top there. So the edit goes
    // to the very top, in X too, then back to right above the bar in the
    // window list: X keeps it on top, and the panels still come up over the
    // bar's other windows when they show.
    platform::RaiseAboveAll(edit);
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    HWND above = ::GetWindow(Handle(), GW_HWNDPREV);
    if (above && above != edit) ::SetWindowPos(edit, above, 0, 0, 0, 0, flags);
}

// --- creation and first layout ----------------------------------------------

LRESULT CDockWnd::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED);
    m_searchCtrl.SetOwner(Handle());
    if (m_searchCtrl.Create(::GetDesktopWindow())) ::ShowWindow(m_searchCtrl.Handle(), SW_HIDE);
    RECT bar = GetWindowRect();
    RECT strip = {bar.left + 4, 0, bar.right - 4, 6};
    m_scopePopup.SetMask(static_cast<int>(m_dwScope));
    m_scopePopup.SetOwner(Handle());
    if (!m_scopePopup.IsWindow() && m_scopePopup.Create(::GetDesktopWindow()))
        ::ShowWindow(m_scopePopup.Handle(), SW_HIDE);
    if (!m_miniDock.IsWindow() && m_miniDock.Create(::GetActiveWindow(), strip))
        ::ShowWindow(m_miniDock.Handle(), SW_HIDE);
    StartTimer(IDT_DOCK_WAIT_LOAD, 250);
    StartTimer(IDT_DOCK_AUTOHIDE, 250);
    StartTimer(IDT_DOCK_SLIDE, 1500);
    ::SendMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    return TRUE;
}

LRESULT CDockWnd::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    if (!m_bFirstLayoutDone) {
        m_bFirstLayoutDone = true;
        FirstLayout();
    }
    Repaint();
    return 0;
}

void CDockWnd::FirstLayout() {
    m_rcCreate = GetWindowRect();
    if (m_searchCtrl.IsWindow()) LayoutResultPanel();
    m_rcEdit = RECT{30, 30, 701, 51};
    if (BkFontPool::GetDefaultFace() == L"宋体") m_rcEdit.top = 34;
    if (!m_edit.IsWindow()) {
        RECT rc = m_rcEdit;
        ::OffsetRect(&rc, m_rcCreate.left, m_rcCreate.top);
        if (m_edit.Create(Handle(), rc)) {
            ::SendMessageW(m_edit.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(1024)), TRUE);
            ::BringWindowToTop(m_edit.Handle());
            ::ShowWindow(m_edit.Handle(), SW_HIDE);
        }
    }
    m_edit.SetNotifyOwner(Handle());
    if (!m_dragBox.IsWindow()) m_dragBox.CreateHidden(Handle());
    SelectFilter(IDC_FILTER_FIRST, IDC_DATE_FIRST - 1, IDC_FILTER_FIRST);
    SelectFilter(IDC_DATE_FIRST, IDC_FILTER_LAST, IDC_DATE_FIRST);
}

LRESULT CDockWnd::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    // Still hidden while this arrives: repaint once it shows.
    if (wParam) ::PostMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    bHandled = FALSE;
    return 0;
}

// --- activation -------------------------------------------------------------

void CDockWnd::ApplyDeactivation() {
    HWND foreground = ::GetForegroundWindow();
    if (foreground == Handle() || m_keyAnchor.Is(foreground)) return;
    if (foreground && (foreground == m_edit.Handle() || foreground == m_searchCtrl.ResultHandle() ||
                       foreground == m_searchCtrl.ListHandle())) {
        return;
    }
    if (!m_bKeepOpen || m_bDisabled) return;
    // Right after the user called the bar, a window manager may still hand
    // the focus back to the window the call came from (the tray's). That is
    // not the user leaving the bar: it takes the keys back and stays open.
    if (::GetTickCount64() - m_ullCalledAt < kCallGraceMs) {
        StartTimer(IDT_DOCK_TAKE_KEYS, 50);
        return;
    }
    RECT bar = GetWindowRect();
    if (bar.top <= 0) m_bKeepOpen = FALSE;
}

LRESULT CDockWnd::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam) {
        bHandled = FALSE;
        return 0;
    }
    ApplyDeactivation();
    return TRUE;
}

LRESULT CDockWnd::OnEditKillFocus(UINT, WPARAM, LPARAM, BOOL&) {
    ApplyDeactivation();
    return 0;
}

// --- timers: the engine's start-up chain, auto-hide, typing, slide ----------

LRESULT CDockWnd::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    const UINT_PTR id = wParam;
    switch (id) {
    case IDT_DOCK_AUTOHIDE:
        if (!IsFullScreenAppInFront()) AutoHide();
        break;
    case IDT_DOCK_TAKE_KEYS:
        StopTimer(IDT_DOCK_TAKE_KEYS);
        if (KeysTakenFromEdit()) {
            m_keyAnchor.Catch();
            FocusEdit();
        }
        break;
    case IDT_DOCK_SEARCH_DEBOUNCE:
        if (IsWindowVisible() && LocalNow() - m_ullLastChange >= 100) {
            StopTimer(IDT_DOCK_SEARCH_DEBOUNCE);
            RunPendingSearch();
        }
        break;
    case IDT_DOCK_SLIDE: {
        RECT bar = GetWindowRect();
        if (::EqualRect(&bar, &m_rcCreate)) {
            // Not the user's move: a bar asked for from the tray stays open.
            const BOOL keepOpen = m_bKeepOpen;
            m_place.SetPos(Handle(), nullptr, bar.left, 0, bar.right - bar.left, bar.bottom - bar.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            m_bKeepOpen = keepOpen;
            Repaint();
        }
        StopTimer(IDT_DOCK_SLIDE);
        break;
    }
    case IDT_DOCK_WAIT_LOAD:
    case IDT_DOCK_VOLUME_CHANGE:
    case IDT_DOCK_WAIT_SCAN:
    case IDT_DOCK_WAIT_RELOAD:
        OnEngineTimer(id);
        break;
    default:
        bHandled = FALSE;
        break;
    }
    return 0;
}

void CDockWnd::OnEngineTimer(UINT_PTR id) {
    CIndexManager* engine = Engine();
    if (engine == nullptr) {
        StopTimer(id);  // nothing to wait for
        return;
    }
    switch (id) {
    case IDT_DOCK_WAIT_LOAD:
        if (!engine->IsLoadDone()) return;
        if (!engine->IsScanRunning()) engine->StartScan();
        StopTimer(IDT_DOCK_WAIT_LOAD);
        StartTimer(IDT_DOCK_WAIT_SCAN, 250);
        m_searchCtrl.Search(1, 1);
        break;
    case IDT_DOCK_VOLUME_CHANGE:
        if (engine->IsScanRunning() || !engine->IsLoadDone()) return;
        engine->StartScan();
        StopTimer(IDT_DOCK_VOLUME_CHANGE);
        StartTimer(IDT_DOCK_WAIT_SCAN, 250);
        break;
    case IDT_DOCK_WAIT_SCAN:
        if (engine->IsScanRunning() || !engine->IsLoadDone() || engine->IsSorted()) return;
        m_searchCtrl.ShowUpdatingStatus();
        engine->StartLoad();
        StartTimer(IDT_DOCK_WAIT_RELOAD, 250);
        StopTimer(IDT_DOCK_WAIT_SCAN);
        break;
    case IDT_DOCK_WAIT_RELOAD:
        if (!engine->IsLoadDone()) return;
        engine->StartUsnMonitor();
        m_searchCtrl.Search(1, 1);
        StopTimer(IDT_DOCK_WAIT_RELOAD);
        break;
    default:
        break;
    }
}

LRESULT CDockWnd::OnDeviceChange(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && header &&
        header->dbch_devicetype == DBT_DEVTYP_VOLUME && !m_bExpandedRunning) {
        StartTimer(IDT_DOCK_VOLUME_CHANGE, 100);
    }
    return TRUE;
}

// --- notifications from the view --------------------------------------------

LRESULT CDockWnd::OnBkNotify(int, NMHDR* hdr, BOOL& bHandled) {
    const auto* nm = reinterpret_cast<const BKNMCOMMAND*>(hdr);
    const UINT id = nm->uItemID;
    switch (hdr->code) {
    case BKNM_COMMAND:
        if (id >= IDC_FILTER_FIRST && id <= IDC_FILTER_LAST) OnFilterButton(id);
        else if (id == IDC_PLACEHOLDER) FocusEdit();
        else if (id == IDC_CLEAR) ResetBar();
        else if (id == IDC_SCOPE) ShowScopePopup();
        else if (id == IDC_SETTINGS) ShowSettingsMenu();
        else if (id == IDC_EXPANDED) RunExpandedDock();
        else if (id == IDC_WEBSITE) OpenWebSite();
        else if (id != IDC_SEARCH_BUTTON) bHandled = FALSE;
        break;
    case BKNM_MOUSEHOVER:
    case BKNM_MOUSELEAVE: {
        const bool category = id >= IDC_FILTER_FIRST && id < IDC_DATE_FIRST;
        const bool date = id >= IDC_DATE_FIRST && id <= IDC_FILTER_LAST;
        const bool selected = (category && id == IDC_FILTER_FIRST + static_cast<UINT>(m_nCategory)) ||
                              (date && id == IDC_DATE_FIRST + static_cast<UINT>(m_nDate));
        if (((category || date) && !selected) || id == IDC_EXPANDED)
            SetItemIntAttribute(id, "sub", hdr->code == BKNM_MOUSEHOVER ? 1 : 0);
        if (id < 1019) Repaint();
        break;
    }
    case BKNM_LBUTTONDOWN:
        if (id < 1000) {
            m_bDragArmed = true;
            m_bDragMoved = false;
        } else if (id <= IDC_WEBSITE) {
            Repaint();
        }
        break;
    case BKNM_LBUTTONUP:
        OnDragEnd();
        break;
    default:
        bHandled = FALSE;
        break;
    }
    return 0;
}

// --- the search road ----------------------------------------------------------

LRESULT CDockWnd::OnSearchChangedMsg(UINT, WPARAM wParam, LPARAM, BOOL&) {
    OnSearchChanged(wParam);
    return 0;
}

void CDockWnd::OnSearchChanged(WPARAM key) {
    CSearchResultWnd* results = m_searchCtrl.ResultWnd();
    switch (key) {
    case VK_TAB:
    case VK_DOWN:
    case VK_UP:
        if (results && results->IsWindow()) {
            ::SetFocus(results->GetList().Handle());
            results->GetList().SelectOnly(key == VK_UP ? -1 : 0);
            results->GetList().EnsureVisible(key == VK_UP ? 0 : 1);
        }
        return;
    case VK_ESCAPE:
        m_edit.SetText(L"");
        break;
    case 0:
        break;
    default:
        return;
    }
    const std::wstring text = m_edit.GetText();
    if (!text.empty()) {
        SetItemVisible(IDC_CLEAR, TRUE);
        Repaint();
        m_ullLastChange = LocalNow();
        StartTimer(IDT_DOCK_SEARCH_DEBOUNCE, 300);
        return;
    }
    // Nothing left to search for: the pending search goes too.
    StopTimer(IDT_DOCK_SEARCH_DEBOUNCE);
    ShowResultPanel(false);
    HideWebPanel();
    m_searchCtrl.SetBottomLimit(kNoDragLimit);
    SetItemVisible(IDC_CLEAR, FALSE);
    Repaint();
}

void CDockWnd::ShowResultPanel(bool show) {
    HWND results = m_searchCtrl.ResultHandle();
    if (!show) {
        if (m_searchCtrl.IsWindow()) ::ShowWindow(m_searchCtrl.Handle(), SW_HIDE);
        if (results) ::ShowWindow(results, SW_HIDE);
        return;
    }
    if (!m_searchCtrl.IsWindow()) return;
    if (!m_searchCtrl.IsWindowVisible()) LayoutResultPanel();
    ::ShowWindow(m_searchCtrl.Handle(), SW_SHOWNA);
    if (results) ::ShowWindow(results, SW_SHOWNA);
}

void CDockWnd::StartLocalSearch(int fullSearch, LPARAM passThrough) {
    ShowResultPanel(true);
    ++m_nSearchRuns;
    m_searchCtrl.Search(fullSearch, passThrough);
    EnableWebItems(true);
}

void CDockWnd::RunPendingSearch() {
    const std::wstring text = m_edit.GetText();
    if (text.empty()) return;
    m_strLastQuery = text;
    m_searchCtrl.Query = text;
    m_searchCtrl.FileState = m_dwFileState;
    m_searchCtrl.FilterMask = m_dwFilterMask;
    if (IsLocalScope()) {
        StartLocalSearch(-1, 0);
    } else {
        ShowResultPanel(false);
        OpenWebPanel(kWebPanelHeight);
    }
    NavigateWebSearch(text);
}

void CDockWnd::SelectFilter(UINT first, UINT last, UINT selected) {
    for (UINT id = first; id <= last; ++id) SetItemIntAttribute(id, "sub", id == selected ? 2 : 0);
}

void CDockWnd::UpdateFilterMask() {
    DWORD mask = 0;
    if (m_nCategory >= 1 && m_nCategory <= 5) mask |= 1u << (m_nCategory - 1);
    if (m_nDate >= 1 && m_nDate <= 4) mask |= 1u << (m_nDate + 4);
    m_dwFilterMask = mask;
}

void CDockWnd::ShowPlaceholder(const std::wstring& text) {
    SetItemText(IDC_PLACEHOLDER, text.c_str());
    if (m_edit.IsWindow()) ::ShowWindow(m_edit.Handle(), SW_HIDE);
    SetItemVisible(IDC_PLACEHOLDER, TRUE);
}

void CDockWnd::OnFilterButton(UINT id) {
    if (id < IDC_DATE_FIRST) {
        m_nCategory = static_cast<int>(id - IDC_FILTER_FIRST);
        SelectFilter(IDC_FILTER_FIRST, IDC_DATE_FIRST - 1, id);
    } else {
        m_nDate = static_cast<int>(id - IDC_DATE_FIRST);
        SelectFilter(IDC_DATE_FIRST, IDC_FILTER_LAST, id);
    }
    UpdateFilterMask();

    const std::wstring text = m_edit.GetText();
    if (text.empty()) {
        std::wstring placeholder = L"  ";
        if (m_dwFilterMask & SQF_TODAY) placeholder += Text(5);
        else if (m_dwFilterMask & SQF_THIS_WEEK) placeholder += Text(6);
        else if (m_dwFilterMask & SQF_THIS_MONTH) placeholder += Text(7);
        else if (!(m_dwFilterMask & SQF_DATE_RANGE)) placeholder += Text(4);
        if (m_dwFilterMask & SQF_PICTURE) placeholder += Text(9);
        else if (m_dwFilterMask & SQF_VIDEO) placeholder += Text(10);
        else if (m_dwFilterMask & SQF_AUDIO) placeholder += Text(13);
        else if (m_dwFilterMask & SQF_DOCUMENT) placeholder += Text(11);
        else if (m_dwFilterMask & SQF_ARCHIVE) placeholder += Text(12);
        else placeholder += Text(8);
        placeholder += L"...";
        ShowPlaceholder(placeholder);
        SetItemVisible(IDC_CLEAR, TRUE);
    }
    Repaint();
    m_strLastQuery = text;
    m_searchCtrl.Query = text;
    m_searchCtrl.FileState = m_dwFileState;
    m_searchCtrl.FilterMask = m_dwFilterMask;

    if (IsLocalScope()) {
        StartLocalSearch(1, 1);
    } else {
        ShowResultPanel(false);
        OpenWebPanel(kWebPanelHeight);
        EnableWebItems(false);
    }
    NavigateWebSearch(text);
    if (!text.empty()) FocusEdit();
}

void CDockWnd::ResetBar() {
    m_nCategory = 0;
    m_nDate = 0;
    SelectFilter(IDC_FILTER_FIRST, IDC_DATE_FIRST - 1, IDC_FILTER_FIRST);
    SelectFilter(IDC_DATE_FIRST, IDC_FILTER_LAST, IDC_DATE_FIRST);
    StopTimer(IDT_DOCK_SEARCH_DEBOUNCE);
    m_edit.SetText(L"");
    ShowPlaceholder(Text(2));
    SetItemVisible(IDC_CLEAR, FALSE);
    ShowResultPanel(false);
    HideWebPanel();
    m_searchCtrl.SetBottomLimit(kNoDragLimit);
    m_strLastQuery.clear();
    m_searchCtrl.Query.clear();
    m_dwFilterMask = 0;
    m_searchCtrl.FilterMask = 0;
    Repaint();
}

void CDockWnd::SetFileStateFromScope() {
    const DWORD local = m_dwScope & (SCOPE_EXISTING | SCOPE_DELETED);
    if (local == (SCOPE_EXISTING | SCOPE_DELETED)) m_dwFileState = SQS_ALL;
    else if (local == SCOPE_EXISTING) m_dwFileState = SQS_EXISTING;
    else if (local == SCOPE_DELETED) m_dwFileState = SQS_DELETED;
}

LRESULT CDockWnd::OnScopeChangedMsg(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (!m_scopePopup.IsShown()) GetViewControl().SuspendToolTip(FALSE);
    // Once the popup, still on top now, has gone.
    ::PostMessageW(Handle(), kKeepEditAboveMessage, 0, 0);
    if (m_scopePopup.IsWindow()) m_rcScopeLeft = m_scopePopup.GetWindowRect();
    OnScopeChanged(static_cast<LONG>(wParam), static_cast<BOOL>(lParam));
    return 0;
}

void CDockWnd::OnScopeChanged(LONG mask, BOOL keepOpen) {
    m_bKeepOpen = keepOpen;
    // 0 would leave nothing to search in: the mask is never 0.
    if (mask != -1 && (mask & (SCOPE_EXISTING | SCOPE_DELETED | SCOPE_WEB)) != 0) {
        m_dwScope = static_cast<DWORD>(mask) & (SCOPE_EXISTING | SCOPE_DELETED | SCOPE_WEB);
        m_searchCtrl.SetViewDeleted((m_dwScope & SCOPE_EXISTING) ? FALSE : TRUE);
        SetFileStateFromScope();
    } else {
        mask = -1;
    }
    m_searchCtrl.FileState = m_dwFileState;
    const bool panelVisible = m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible();
    if (!panelVisible && !IsWebPanelVisible()) return;
    if (IsLocalScope()) {
        if (mask != -1) {
            m_strLastQuery = m_edit.GetText();
            m_searchCtrl.Query = m_strLastQuery;
            LayoutResultPanel();
            StartLocalSearch(1, 1);
        }
    } else {
        ShowResultPanel(false);
        OpenWebPanel(kWebPanelHeight);
        EnableWebItems(false);
    }
    if (mask != -1) NavigateWebSearch(m_edit.GetText());
}

LRESULT CDockWnd::OnSearchResultsMsg(UINT, WPARAM, LPARAM lParam, BOOL&) {
    OnSearchResults(lParam);
    return 0;
}

void CDockWnd::OnSearchResults(LPARAM lParam) {
    if (IsLocalScope()) {
        EnableWebItems(true);
        if (lParam != -1) LayoutResultPanel();
    } else {
        ShowResultPanel(false);
        OpenWebPanel(kWebPanelHeight);
    }
    // The user moved into the list (Tab, Down, a click): results arriving
    // later (a sort, the reload after a scan) leave the keyboard there.
    HWND focus = ::GetFocus();
    HWND results = m_searchCtrl.ResultHandle();
    if (focus && results && (focus == results || ::IsChild(results, focus))) return;
    if (m_edit.IsWindow() && m_edit.IsWindowVisible()) {
        ::SetActiveWindow(m_edit.Handle());
        ::SetFocus(m_edit.Handle());
    } else {
        ::SetActiveWindow(Handle());
        ::SetFocus(Handle());
        ::SetForegroundWindow(Handle());
    }
}

LRESULT CDockWnd::OnToggleFileView(UINT, WPARAM wParam, LPARAM, BOOL&) {
    DWORD mask = m_dwScope;
    if (wParam) mask &= ~static_cast<DWORD>(SCOPE_EXISTING);
    else mask |= SCOPE_EXISTING;
    mask |= SCOPE_DELETED;
    m_scopePopup.SetMask(static_cast<int>(mask));
    OnScopeChanged(static_cast<LONG>(mask), m_bKeepOpen);
    return 0;
}

// --- the bar's hold on itself -------------------------------------------------

LRESULT CDockWnd::OnDockEnable(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    const BOOL enable = wParam ? FALSE : TRUE;
    ::EnableWindow(Handle(), enable);
    if (m_edit.IsWindow()) ::EnableWindow(m_edit.Handle(), enable);
    if (m_searchCtrl.IsWindow()) ::EnableWindow(m_searchCtrl.Handle(), enable);
    if (HWND results = m_searchCtrl.ResultHandle()) ::EnableWindow(results, enable);
    if (m_pNetSearch->IsWindow()) ::EnableWindow(m_pNetSearch->Handle(), enable);
    if (m_pNetSearch->GetDragLine().IsWindow()) ::EnableWindow(m_pNetSearch->GetDragLine().Handle(), enable);
    if (lParam == 1) m_bListUsed = TRUE;
    const BOOL previous = m_bKeepOpen;
    m_bKeepOpen = wParam ? TRUE : FALSE;
    m_bDisabled = wParam ? TRUE : FALSE;
    return previous;
}

LRESULT CDockWnd::OnResultListUsed(UINT, WPARAM, LPARAM, BOOL&) {
    m_bListUsed = TRUE;
    return 0;
}

LRESULT CDockWnd::OnDockHold(UINT, WPARAM wParam, LPARAM, BOOL&) {
    const BOOL previous = m_bKeepOpen;
    m_bKeepOpen = wParam ? TRUE : FALSE;
    return previous;
}

// --- menus, popups and the web site -------------------------------------------

void CDockWnd::ShowSettingsMenu() {
    GetViewControl().SuspendToolTip(TRUE);
    ShowDockMenu(Handle(), 783, &m_bKeepOpen);
    if (IsWindow()) GetViewControl().SuspendToolTip(FALSE);
}

void CDockWnd::RunExpandedDock() {
    const RECT bar = GetWindowRect();
    const bool editVisible = m_edit.IsWindow() && m_edit.IsWindowVisible();
    const bool panelVisible = m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible();
    const bool webVisible = IsWebPanelVisible();
    ::ShowWindow(Handle(), SW_HIDE);
    if (editVisible) ::ShowWindow(m_edit.Handle(), SW_HIDE);
    ShowResultPanel(false);
    HideWebPanel();
    m_searchCtrl.ShowUpdatingStatus();
    StopTimer(IDT_DOCK_VOLUME_CHANGE);
    StopTimer(IDT_DOCK_WAIT_SCAN);

    CDockWnd2 expanded;
    expanded.SetEditRect(RECT{30, 131, 701, 151});
    m_pExpanded = &expanded;
    m_bExpandedRunning = true;
    expanded.Run(bar);
    m_pExpanded = nullptr;
    m_bExpandedRunning = false;
    if (!IsWindow()) return;  // quit while the taller bar ran

    // A search the taller bar left running ends here, so that its results
    // never reach this bar's result window, which gets the engine back.
    if (CIndexManager* engine = Engine()) {
        engine->StopSearch();
        engine->SetNotifyWindow(m_searchCtrl.ResultHandle());
    }
    ::ShowWindow(Handle(), SW_SHOWNA);
    StartTimer(IDT_DOCK_WAIT_SCAN, 250);
    if (panelVisible) ShowResultPanel(true);
    if (editVisible) ::ShowWindow(m_edit.Handle(), SW_SHOWNA);
    if (webVisible) ShowWebPanel();
}

LRESULT CDockWnd::OnCloseToTray(WORD, WORD, HWND, BOOL&) {
    CloseToTray();
    return 0;
}

void CDockWnd::CloseToTray() {
    if (ReadShowCloseTip() == 0) {
        const LRESULT previous = ::SendMessageW(Handle(), WM_DOCK_ENABLE, 1, 0);
        const RECT bar = GetWindowRect();
        // Under the bar's right end, or above it where the bar stands too
        // low for the tip to show whole.
        const RECT under = {bar.right - 322, bar.bottom + 8, bar.right - 8, bar.bottom + 208};
        const RECT rc = platform::FitUnderAnchor(under, bar);
        CCheckDlg tip(CCheckDlg::MODE_CLOSE_TIP);
        tip.DoModal(Handle(), &rc);
        if (previous == 0 && IsWindow()) ::SendMessageW(Handle(), WM_DOCK_ENABLE, 0, 0);
    }
    DestroyPanels();
}

void CDockWnd::ShowScopePopup() {
    if (!m_scopePopup.IsWindow()) return;
    POINT pt = {663, 55};
    ::ClientToScreen(Handle(), &pt);
    // Under the search box, or above the bar where it stands too low.
    const RECT placed = platform::FitUnderAnchor(RECT{pt.x, pt.y, pt.x + 112, pt.y + 86}, GetWindowRect());
    // The popup hands the keep-open value back with its answer.
    const LPARAM cookie = m_bKeepOpen;
    m_bKeepOpen = TRUE;
    // The button's tip would stand over the popup; it comes back when the
    // popup goes.
    GetViewControl().SuspendToolTip(TRUE);
    // The program learns that a click elsewhere (the bare desktop, another
    // program) took the keyboard away, and closes the popup, only when the
    // window the desktop's focus leaves is the one it counts as active. A
    // click on the bar activates the bar here while the window manager
    // leaves the focus in the edit the user typed into: the edit gets the
    // activation back, and keeps the keyboard as under a drop-down list.
    if (m_hClickedAwayFrom == m_edit.Handle() && ::GetActiveWindow() == Handle() && m_edit.IsWindow() &&
        m_edit.IsWindowVisible() && ::IsWindowEnabled(m_edit.Handle())) {
        ::SetActiveWindow(m_edit.Handle());
        ::SetFocus(m_edit.Handle());
    }
    m_scopePopup.Popup(cookie, placed.left, placed.top);
}

void CDockWnd::OpenWebSite() { OpenUrl(ProductWebSite()); }

// --- the web panel --------------------------------------------------------------

bool CDockWnd::IsWebPanelVisible() const { return m_pNetSearch->IsWindow() && m_pNetSearch->IsWindowVisible(); }

bool CDockWnd::EnsureWebPanel() {
    if (m_pNetSearch->IsWindow()) return true;
    if (!IsWindow()) return false;
    // Made on first use: starting a browser is slow, and most runs never
    // search the web.
    m_pNetSearch->SetOwner(Handle());
    m_pNetSearch->SetBottomLimit(kNoDragLimit);
    if (!m_pNetSearch->Create(::GetDesktopWindow())) return false;
    ::ShowWindow(m_pNetSearch->Handle(), SW_HIDE);
    m_pNetSearch->EnableItem(IDC_NETSEARCH_BOTTOM_EDGE, FALSE);
    if (m_searchCtrl.IsWindow() && m_searchCtrl.IsWindowVisible()) LayoutResultPanel();
    return true;
}

void CDockWnd::HideWebPanel() {
    m_bWebWaitsForRoom = false;
    if (m_pNetSearch->IsWindow()) ::ShowWindow(m_pNetSearch->Handle(), SW_HIDE);
    m_pNetSearch->GetDragLine().Hide();
    m_searchCtrl.SetBottomLimit(kNoDragLimit);
}

void CDockWnd::ShowWebPanel() {
    if (!m_pNetSearch->IsWindow()) return;
    if (!IsWebPanelVisible()) {
        // Never over the bar: it may have moved since the panel was placed.
        RECT under = PanelSpanUnderBar();
        if (IsLocalScope() && m_searchCtrl.IsWindow()) under.top = m_searchCtrl.GetWindowRect().bottom;
        m_bWebWaitsForRoom = true;
        PlaceWebPanel(under.left, under.top, under.right - under.left);
        return;
    }
    ::ShowWindow(m_pNetSearch->Handle(), SW_SHOWNA);
}

void CDockWnd::OpenWebPanel(int height) {
    if (!EnsureWebPanel()) return;
    const RECT span = PanelSpanUnderBar();
    m_nWebHeight = height;
    if (!IsWebPanelVisible()) m_bWebWaitsForRoom = true;
    PlaceWebPanel(span.left, span.top, span.right - span.left);
    m_pNetSearch->UpdateLayout(span.top);
    ::SendMessageW(m_pNetSearch->Handle(), WM_LAYERED_REFRESH, 0, 0);
}

void CDockWnd::EnableWebItems(bool localScope) {
    if (!m_pNetSearch->IsWindow()) return;
    m_pNetSearch->EnableItem(IDC_NETSEARCH_TOP_EDGE, localScope ? TRUE : FALSE);
    m_pNetSearch->EnableItem(IDC_NETSEARCH_BOTTOM_EDGE, localScope ? FALSE : TRUE);
}

void CDockWnd::NavigateWebSearch(const std::wstring& query) {
    if (!(m_dwScope & SCOPE_WEB)) {
        HideWebPanel();
        return;
    }
    m_strLastWebUrl = BuildWebSearchUrl(m_dwFilterMask, query);
    if (!EnsureWebPanel()) return;
    m_pNetSearch->Navigate(m_strLastWebUrl);
    // The panel alone; its drag line shows only while an edge is dragged.
    if ((m_dwFilterMask & SQF_ARCHIVE) && query.empty()) HideWebPanel();
    else ShowWebPanel();
}
