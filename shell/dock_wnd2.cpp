#include "shell/dock_wnd2.h"

#include <dbt.h>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/search_query.h"
#include "results/search_result_wnd.h"
#include "shell/dock_menu.h"
#include "shell/layered_view.h"
#include "ui/bkfontpool.h"

namespace {

const int kPanelWidth = 800;
const int kPanelHeight = 608;
const int kAutoHideMargin = 15;

CIndexManager* Engine() { return GetAppContext()->IndexManager; }

bool Visible(HWND hwnd) { return hwnd && ::IsWindowVisible(hwnd); }

} // namespace

CDockWnd2::CDockWnd2() : CBkDialogImpl<CDockWnd2>(118) {}

CDockWnd2::~CDockWnd2() {
    if (strip_.IsWindow()) strip_.DestroyWindow();
}

int CDockWnd2::Run(const RECT& rc) { return DoModal(::GetDesktopWindow(), &rc); }

void CDockWnd2::Close() {
    panel_.DestroyPanel();
    more_.DestroyControls();
    if (more_.IsWindow()) more_.DestroyWindow();
    if (strip_.IsWindow()) strip_.DestroyWindow();
    EndDialog(2);
}

LRESULT CDockWnd2::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    MakeLayered(Handle());
    // The panel reports to this view, so its results and resizing reach it.
    panel_.SetOwner(Handle());
    if (panel_.Create(::GetDesktopWindow())) ::ShowWindow(panel_.Handle(), SW_HIDE);
    ::SetTimer(Handle(), IDT_WAIT_SCAN, 250, nullptr);
    ::SetTimer(Handle(), IDT_AUTOHIDE, 250, nullptr);
    ::PostMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    return 1;
}

void CDockWnd2::PlacePanels() {
    RECT rc = {};
    ::GetWindowRect(Handle(), &rc);
    const int width = rc.right - rc.left;
    if (panel_.IsWindow()) {
        ::SetWindowPos(panel_.Handle(), nullptr, rc.left - (kPanelWidth - width) / 2, rc.bottom - 8, kPanelWidth,
                       kPanelHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (more_.IsWindow()) {
        ::SetWindowPos(more_.Handle(), HWND_TOP, rc.left + 24, rc.top + 29, 619, 93, SWP_NOACTIVATE);
    }
    if (edit_.IsWindow()) {
        ::SetWindowPos(edit_.Handle(), nullptr, rc.left + editRect_.left, rc.top + editRect_.top,
                       editRect_.right - editRect_.left, editRect_.bottom - editRect_.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CDockWnd2::Repaint() { UpdateLayeredView(*this); }

LRESULT CDockWnd2::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    // The edit and the popup are made once; later refreshes only repaint.
    if (!edit_.IsWindow()) {
        RECT rc = editRect_;
        ::MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        if (edit_.Create(Handle(), rc)) {
            ::SendMessageW(edit_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(1024)), FALSE);
            ::SetWindowPos(edit_.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            edit_.ShowWindow(SW_HIDE);
            edit_.SetNotifyOwner(Handle());
        }
    }
    if (!more_.IsWindow() && more_.Create(Handle())) more_.ShowWindow(SW_SHOWNA);
    if (!strip_.IsWindow() && strip_.Create(Handle())) strip_.ShowWindow(SW_HIDE);
    PlacePanels();
    Repaint();
    return 0;
}

LRESULT CDockWnd2::OnMove(UINT, WPARAM, LPARAM lParam, BOOL&) {
    hold_ = FALSE;
    atTop_ = static_cast<short>(HIWORD(lParam)) <= 0 ? TRUE : FALSE;
    PlacePanels();
    return 0;
}

LRESULT CDockWnd2::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    auto* command = reinterpret_cast<BKNMCOMMAND*>(header);
    switch (header->code) {
    case BKNM_COMMAND:
        switch (command->uItemID) {
        case IDC_SEARCH: RunSearch(); break;
        case IDC_HINT: FocusEdit(); break;
        case IDC_CLEAR:
            edit_.SetText(L"");
            edit_.ShowWindow(SW_HIDE);
            SetItemVisible(IDC_HINT, TRUE);
            SetItemVisible(IDC_CLEAR, FALSE);
            if (panel_.IsWindow()) panel_.ShowWindow(SW_HIDE);
            if (HWND results = panel_.ResultHandle()) ::ShowWindow(results, SW_HIDE);
            Repaint();
            break;
        case IDC_SCOPE: break;
        case IDC_SETTINGS:
            GetViewControl().SuspendToolTip(TRUE);
            ShowDockMenu(Handle(), 783, &hold_);
            if (IsWindow()) GetViewControl().SuspendToolTip(FALSE);
            break;
        case IDC_CLOSE_VIEW: Close(); break;
        default: handled = FALSE; break;
        }
        return 0;
    case BKNM_MOUSEHOVER:
    case BKNM_MOUSELEAVE:
        if (command->uItemID == IDC_CLOSE_VIEW)
            SetItemIntAttribute(IDC_CLOSE_VIEW, "sub", header->code == BKNM_MOUSEHOVER ? 3 : 2);
        Repaint();
        return 0;
    case BKNM_LBUTTONDOWN:
        Repaint();
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

void CDockWnd2::FocusEdit() {
    if (!edit_.IsWindow()) return;
    SetItemVisible(IDC_HINT, FALSE);
    // The keys come into the program first, whatever window the window
    // manager left them with (see CBkDialogHost::TakeKeyboard).
    m_keyAnchor.Catch();
    ::SetForegroundWindow(Handle());
    const DWORD editThread = ::GetWindowThreadProcessId(edit_.Handle(), nullptr);
    const DWORD thisThread = ::GetCurrentThreadId();
    if (editThread != thisThread) ::AttachThreadInput(thisThread, editThread, TRUE);
    edit_.ShowWindow(SW_SHOWNORMAL);
    ::SetActiveWindow(edit_.Handle());
    ::SetFocus(edit_.Handle());
    Repaint();
}

void CDockWnd2::RunSearch() {
    if (!panel_.IsWindow()) return;
    panel_.Query = edit_.IsWindow() ? edit_.GetText() : std::wstring();
    panel_.ShowWindow(SW_SHOWNA);
    if (HWND results = panel_.ResultHandle()) ::ShowWindow(results, SW_SHOWNA);
    DWORD mask = 0;
    more_.GetFilters(&mask, &panel_.PathPrefix, &panel_.SizeMin, &panel_.SizeMax, &panel_.DateFrom, &panel_.DateTo);
    panel_.FilterMask = mask;
    panel_.FileState = SQS_ALL;
    panel_.Search(1, 1);
    if (HWND list = panel_.ListHandle()) ::SetFocus(list);
}

LRESULT CDockWnd2::OnEditChanged(UINT, WPARAM wParam, LPARAM, BOOL&) {
    CSearchResultWnd* results = panel_.ResultWnd();
    if ((wParam == VK_TAB || wParam == VK_DOWN || wParam == VK_UP) && results) {
        if (HWND list = panel_.ListHandle()) ::SetFocus(list);
        auto& list = results->GetList();
        list.SelectOnly(0);
        if (wParam == VK_UP) list.ToggleItem(0);  // row 0 current and in view, nothing selected
        list.EnsureVisible(1);
        return 0;
    }
    const bool hasText = edit_.IsWindow() && !edit_.GetText().empty();
    SetItemVisible(IDC_CLEAR, hasText ? TRUE : FALSE);
    if (!hasText) {
        if (panel_.IsWindow()) panel_.ShowWindow(SW_HIDE);
        if (HWND r = panel_.ResultHandle()) ::ShowWindow(r, SW_HIDE);
    }
    Repaint();
    return 0;
}

LRESULT CDockWnd2::OnEditKillFocus(UINT, WPARAM, LPARAM, BOOL&) {
    HWND foreground = ::GetForegroundWindow();
    if (foreground == Handle() || m_keyAnchor.Is(foreground)) return 0;
    RECT rc = {};
    ::GetWindowRect(Handle(), &rc);
    if (hold_ && rc.top == 0) hold_ = FALSE;
    return 0;
}

LRESULT CDockWnd2::OnDeviceChange(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && header &&
        header->dbch_devicetype == DBT_DEVTYP_VOLUME)
        ::SetTimer(Handle(), IDT_VOLUME_CHANGE, 100, nullptr);
    return 0;
}

LRESULT CDockWnd2::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    CIndexManager* engine = Engine();
    switch (wParam) {
    case IDT_VOLUME_CHANGE:
        if (!engine || engine->IsScanRunning()) return 0;
        engine->StartScan();
        ::KillTimer(Handle(), IDT_VOLUME_CHANGE);
        ::SetTimer(Handle(), IDT_WAIT_SCAN, 250, nullptr);
        return 0;
    case IDT_WAIT_SCAN:
        if (!engine || engine->IsScanRunning() || !engine->IsLoadDone()) return 0;
        panel_.ShowUpdatingStatus();
        engine->StartLoad();
        ::KillTimer(Handle(), IDT_WAIT_SCAN);
        // The journal is followed only over a loaded index.
        ::SetTimer(Handle(), IDT_WAIT_LOAD, 250, nullptr);
        return 0;
    case IDT_WAIT_LOAD:
        if (!engine || !engine->IsLoadDone()) return 0;
        engine->StartUsnMonitor();
        panel_.Search(1, 1);
        ::KillTimer(Handle(), IDT_WAIT_LOAD);
        return 0;
    case IDT_AUTOHIDE:
        AutoHide();
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

void CDockWnd2::AutoHide() {
    if (hold_ || hidden_ || !atTop_) return;
    const bool panelVisible = Visible(panel_.Handle());
    if (!IsWindowVisible() && !panelVisible) return;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    auto Near = [&](RECT rc) {
        rc.left = rc.left < 16 ? 0 : rc.left - kAutoHideMargin;
        rc.right += kAutoHideMargin;
        rc.bottom += kAutoHideMargin;
        return ::PtInRect(&rc, cursor) != FALSE;
    };
    RECT rc = {};
    ::GetWindowRect(Handle(), &rc);
    if (Near(rc)) return;
    if (panelVisible) {
        RECT panel = {};
        ::GetWindowRect(panel_.Handle(), &panel);
        if (Near(panel)) return;
    }
    editWasVisible_ = Visible(edit_.Handle());
    panelWasVisible_ = panelVisible;
    resultsWereVisible_ = Visible(panel_.ResultHandle());
    ShowWindow(SW_HIDE);
    if (more_.IsWindow()) more_.ShowWindow(SW_HIDE);
    if (editWasVisible_) edit_.ShowWindow(SW_HIDE);
    if (resultsWereVisible_) ::ShowWindow(panel_.ResultHandle(), SW_HIDE);
    if (panelWasVisible_) panel_.ShowWindow(SW_HIDE);
    hidden_ = true;
    // The strip reports back to this view when it is hovered.
    if (strip_.IsWindow()) {
        strip_.Setup(FALSE, editWasVisible_, panelWasVisible_, FALSE, rc.left + 4, 0, rc.right - 4, 6, Handle());
        ::SetWindowPos(strip_.Handle(), HWND_TOPMOST, rc.left + 4, 0, rc.right - rc.left - 8, 6,
                       SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
}

void CDockWnd2::RestoreFromMiniDock() {
    if (hidden_ && strip_.IsWindow()) strip_.RestoreNow();
}

LRESULT CDockWnd2::OnStripRestore(UINT, WPARAM, LPARAM, BOOL&) {
    if (!hidden_) return 0;
    hidden_ = false;
    RECT rc = {};
    ::GetWindowRect(Handle(), &rc);
    place_.SetPos(Handle(), nullptr, rc.left, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlacePanels();
    panel_.UpdateLayout(-1);
    ShowWindow(SW_SHOWNA);
    if (more_.IsWindow()) more_.ShowWindow(SW_SHOWNA);
    if (panelWasVisible_) panel_.ShowWindow(SW_SHOWNA);
    if (resultsWereVisible_) ::ShowWindow(panel_.ResultHandle(), SW_SHOWNA);
    if (editWasVisible_) edit_.ShowWindow(SW_SHOWNA);
    Repaint();
    return 0;
}
