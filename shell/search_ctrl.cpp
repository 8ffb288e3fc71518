#include "shell/search_ctrl.h"


#include <algorithm>
#include <cstdio>

#include "browser/netsearch_dlg.h"
#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/search_query.h"
#include "platform/gdi.h"
#include "platform/lock.h"
#include "results/search_result_wnd.h"
#include "shell/layered_view.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

namespace {

CIndexManager* Engine() { return GetAppContext()->IndexManager; }

bool IsLoadRunning() {
    CIndexManager* engine = Engine();
    return engine && !engine->IsLoadDone();
}

LPCWSTR Text(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

// Fills the first two "%d" of the table's pattern; any other conversion in
// the pattern is kept as text, so a changed string table cannot make the
// formatting read arguments that are not there.
std::wstring FormatTwoCounts(const std::wstring& pattern, long long first, long long second) {
    std::wstring out;
    int used = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] == L'd' && used < 2) {
            out += std::to_wstring(used++ == 0 ? first : second);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// Puts the drive letters ("D、F") in place of the first "%s" of the pattern.
std::wstring FormatDrives(const std::wstring& pattern, const std::wstring& letters) {
    std::wstring drives;
    for (wchar_t letter : letters) {
        if (!drives.empty()) drives += L"\x3001";  // 、
        drives += letter;
    }
    std::wstring out = pattern;
    const size_t at = out.find(L"%s");
    if (at != std::wstring::npos) out.replace(at, 2, drives);
    return out;
}

// The no-break spaces that end the pattern: the gap the status text keeps
// before the link beside it.
std::wstring TrailingGap(const std::wstring& pattern) {
    const size_t end = pattern.find_last_not_of(L'\u00A0');
    return end == std::wstring::npos ? pattern : pattern.substr(end + 1);
}

std::string FormatPos(int a, int b, int c, int d) {
    char pos[64];
    std::snprintf(pos, sizeof(pos), "%d,%d,%d,%d", a, b, c, d);
    return pos;
}

} // namespace

LRESULT ToggleRegexMode() {
    if (CIndexManager* engine = Engine()) {
        platform::ScopedLock lock(engine->QueryLock());
        g_bUseRegex = g_bUseRegex ? 0 : 1;
    } else {
        g_bUseRegex = g_bUseRegex ? 0 : 1;
    }
    return 0;
}

bool IsRegexMode() {
    if (CIndexManager* engine = Engine()) {
        platform::ScopedLock lock(engine->QueryLock());
        return g_bUseRegex != 0;
    }
    return g_bUseRegex != 0;
}

CSearchCtrl::CSearchCtrl() : CBkDialogImpl<CSearchCtrl>(kLayout), m_dragLine(CDragBoxDlg::kLineLayout) {
    // The skin draws the panel's shadow. The framework's is a window owned
    // by the panel, so it stands over the panel and its result list, and
    // once the panel is resized while shown it covers them dark.
    EnableShadow(FALSE);
}

CSearchCtrl::~CSearchCtrl() {
    DestroyPanel();
    if (m_dragLine.IsWindow()) m_dragLine.DestroyWindow();
}

HWND CSearchCtrl::ResultHandle() const { return m_pResultWnd ? m_pResultWnd->Handle() : nullptr; }

HWND CSearchCtrl::ListHandle() { return m_pResultWnd ? m_pResultWnd->GetList().Handle() : nullptr; }

int CSearchCtrl::RowCount() { return m_pResultWnd ? m_pResultWnd->GetList().GetItemCount() : 0; }

void CSearchCtrl::Repaint() { UpdateLayeredView(*this); }

LRESULT CSearchCtrl::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    MakeLayered(Handle());
    m_pResultWnd.reset(new CSearchResultWnd());
    m_pResultWnd->SetOwner(Handle());
    if (m_pResultWnd->Create(::GetDesktopWindow())) ::ShowWindow(m_pResultWnd->Handle(), SW_HIDE);
    Repaint();
    if (!m_dragLine.IsWindow()) m_dragLine.CreateHidden(Handle());
    return TRUE;
}

void CSearchCtrl::SetStatus(UINT stringId) { SetItemText(IDC_STATUS, Text(stringId)); }

int CSearchCtrl::Search(int fullSearch, LPARAM passThrough) {
    if (IsLoadRunning()) {
        SetStatus(47);
        Repaint();
        return 0;
    }
    if (!m_pResultWnd) return 0;
    m_pResultWnd->SetFilterMask(FilterMask);
    if (fullSearch != -1) m_pResultWnd->SetFullSearch(static_cast<DWORD>(fullSearch));
    m_pResultWnd->SetPassThrough(static_cast<DWORD>(passThrough));
    m_pResultWnd->StartSearch(std::wstring(Query), DateFrom, DateTo, SizeMin, SizeMax, PathPrefix,
                              static_cast<int>(FileState));
    CIndexManager* engine = Engine();
    SetStatus(engine && engine->IsIndexEmpty() ? 22 : 23);
    SetItemVisible(IDC_VIEW_LINK, FALSE);
    Repaint();
    // Shown once: showing it again would raise it over a popup of the bar
    // (the scope popup) that stands over the list.
    if (IsWindow() && IsWindowVisible() && m_pResultWnd->IsWindow() && !m_pResultWnd->IsWindowVisible())
        ::ShowWindow(m_pResultWnd->Handle(), SW_SHOWNA);
    return 0;
}

std::wstring CSearchCtrl::TakeUnsavedNotice() {
    // Told only where the user sees it; otherwise it waits for the next results.
    CIndexManager* engine = Engine();
    if (!engine || !IsWindow() || !IsWindowVisible()) return std::wstring();
    const std::wstring drives = engine->TakeUnsavedDrives();
    return drives.empty() ? std::wstring() : FormatDrives(Text(kUnsavedIndexText), drives);
}

void CSearchCtrl::OnSearchResults(WPARAM count, LPARAM deletedCount) {
    CIndexManager* engine = Engine();
    // Without an index there is no count and nothing to switch between; the
    // drag strip stays, so the panel can still be resized.
    if (IsLoadRunning()) {
        SetStatus(47);
        SetItemVisible(IDC_VIEW_LINK, FALSE);
    } else if (engine && engine->IsIndexEmpty()) {
        // A drive that could not be saved is told of rather than a first
        // scan that seems never to end.
        const std::wstring unsaved = TakeUnsavedNotice();
        if (unsaved.empty())
            SetStatus(22);
        else
            SetItemText(IDC_STATUS, unsaved.c_str());
        SetItemVisible(IDC_VIEW_LINK, FALSE);
    } else {
        if (deletedCount != -1) m_nDeletedCount = static_cast<int>(deletedCount);
        // A drive whose index could not be saved is told once, in place of the counts.
        // It keeps the counts' gap before the link: the link is placed by the
        // measured width of the text, gap included.
        std::wstring status = TakeUnsavedNotice();
        if (status.empty())
            status = FormatTwoCounts(Text(58), static_cast<long long>(count), static_cast<long long>(m_nDeletedCount));
        else
            status += TrailingGap(Text(58));
        SIZE extent = {0, 0};
        if (IsWindow()) {
            platform::WindowDC dc(Handle());
            platform::SelectObjectScope font(dc, BkFontPool::GetFont(0));
            ::GetTextExtentPoint32W(dc, status.c_str(), static_cast<int>(status.size()), &extent);
        }
        const int width = extent.cx;
        SetItemVisible(IDC_VIEW_LINK, TRUE);
        SetItemAttribute(IDC_STATUS, "pos", FormatPos(10, 5, width + 30, 19).c_str());
        SetItemAttribute(IDC_VIEW_LINK, "pos", FormatPos(width + 10, 5, width + 106, 19).c_str());
        SetItemText(IDC_STATUS, status.c_str());
        SetItemText(IDC_VIEW_LINK, Text(m_bViewDeleted ? 60 : 59));
    }
    Repaint();
    if (m_hOwner && ::IsWindow(m_hOwner)) ::SendMessageW(m_hOwner, WM_SEARCH_RESULTS, count, deletedCount);
}

void CSearchCtrl::OnSortStarted() {
    m_nSortFrame = 0;
    SetItemVisible(IDC_BUSY_BACK, TRUE);
    SetItemVisible(IDC_BUSY_IMAGE, TRUE);
    Repaint();
    if (m_pResultWnd && m_pResultWnd->IsWindow()) ::ShowWindow(m_pResultWnd->Handle(), SW_HIDE);
    ::SetTimer(Handle(), IDT_SEARCHCTRL_SORT_WAIT, 100, nullptr);
}

void CSearchCtrl::OnSortWaitTimer() {
    CIndexManager* engine = Engine();
    if (engine && engine->IsSortRunning()) {
        m_nSortFrame = (m_nSortFrame + 1) % 8;
        SetItemIntAttribute(IDC_BUSY_IMAGE, "sub", m_nSortFrame);
        Repaint();
        return;
    }
    SetItemVisible(IDC_BUSY_BACK, FALSE);
    SetItemVisible(IDC_BUSY_IMAGE, FALSE);
    Repaint();
    // The list shows only with its panel.
    if (IsWindowVisible() && m_pResultWnd && m_pResultWnd->IsWindow())
        ::ShowWindow(m_pResultWnd->Handle(), SW_SHOWNA);
    ::KillTimer(Handle(), IDT_SEARCHCTRL_SORT_WAIT);
}

void CSearchCtrl::UpdateLayout(int bottomLimit) {
    if (bottomLimit != -1) m_nBottomLimit = bottomLimit;
    if (!IsWindow() || !m_pResultWnd || !m_pResultWnd->IsWindow()) return;
    RECT rc = {};
    if (!::GetWindowRect(Handle(), &rc) || ::IsRectEmpty(&rc)) return;
    // The list lies inside the panel, whatever the panel's size: a panel too
    // small for it leaves it no room rather than leaving it behind.
    const int width = std::max<int>(0, rc.right - rc.left - 36);
    const int height = std::max<int>(0, rc.bottom - rc.top - 53);
    ::SetWindowPos(m_pResultWnd->Handle(), nullptr, rc.left + 18, rc.top + 22, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_pResultWnd->ResizeList();
}

void CSearchCtrl::ShowUpdatingStatus() {
    SetStatus(25);
    SetItemVisible(IDC_VIEW_LINK, FALSE);
    Repaint();
}

void CSearchCtrl::DestroyPanel() {
    if (m_pResultWnd) {
        if (m_pResultWnd->IsWindow()) m_pResultWnd->DestroyWindow();
        m_pResultWnd.reset();
    }
    CancelDrag();
    if (m_dragLine.IsWindow()) m_dragLine.DestroyWindow();
    if (IsWindow()) DestroyWindow();
}

void CSearchCtrl::ToggleFileView() {
    m_bViewDeleted = m_bViewDeleted ? FALSE : TRUE;
    SetItemText(IDC_VIEW_LINK, Text(m_bViewDeleted ? 60 : 59));
    Repaint();
    if (m_hOwner && ::IsWindow(m_hOwner)) ::SendMessageW(m_hOwner, WM_TOGGLE_FILE_VIEW, m_bViewDeleted, 0);
}

LRESULT CSearchCtrl::OnBkNotify(int, NMHDR* hdr, BOOL& bHandled) {
    const auto* nm = reinterpret_cast<const BKNMCOMMAND*>(hdr);
    if (hdr->code == BKNM_LBUTTONDOWN && nm->uItemID == IDC_DRAG_STRIP) {
        m_bDragging = true;
        m_bMoved = false;
    } else if (hdr->code == BKNM_LBUTTONUP) {
        OnDragEnd();
    } else if (hdr->code == BKNM_COMMAND && nm->uItemID == IDC_VIEW_LINK) {
        ToggleFileView();
    } else {
        bHandled = FALSE;
    }
    return 0;
}

LRESULT CSearchCtrl::OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    UpdateLayout(-1);
    // The owner checks that the panel still hangs where it belongs.
    if (m_hOwner && ::IsWindow(m_hOwner)) ::PostMessageW(m_hOwner, WM_PANEL_MOVED, 0, 0);
    // A layered window shows what it was last given: moved or resized, the
    // panel draws itself again, footer included, at its new place and size.
    if (IsWindowVisible()) ::PostMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    bHandled = FALSE;  // the frame resizes its view and its shadow too
    return 0;
}

LRESULT CSearchCtrl::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam) ::PostMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CSearchCtrl::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam) return TRUE;
    if (m_hOwner && ::IsWindow(m_hOwner)) ::PostMessageW(m_hOwner, WM_SEARCH_EDIT_KILLFOCUS, 0, 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CSearchCtrl::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam != IDT_SEARCHCTRL_SORT_WAIT) {
        bHandled = FALSE;
        return 0;
    }
    OnSortWaitTimer();
    return 0;
}

LRESULT CSearchCtrl::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&) {
    OnDragMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return 0;
}

LRESULT CSearchCtrl::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    CancelDrag();
    return 0;
}

LRESULT CSearchCtrl::OnForwardToOwner(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (!m_hOwner || !::IsWindow(m_hOwner)) return 0;
    return ::SendMessageW(m_hOwner, uMsg, wParam, lParam);
}

LRESULT CSearchCtrl::OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&) {
    Repaint();
    return 0;
}

void CSearchCtrl::OnDragMove(int x, int y) {
    if (!m_bDragging) return;
    m_bMoved = true;
    RECT panel = {};
    if (!::GetWindowRect(Handle(), &panel)) return;
    if (m_bFirstMove) {
        m_bFirstMove = false;
        m_ptDragStart = POINT{x, y};
        RECT line = {panel.left + 8, panel.bottom - CDragBoxDlg::kLineHeight, panel.right - 8, panel.bottom};
        m_dragLine.ShowAt(line);
        return;
    }
    RECT moved = panel;
    moved.bottom += y - m_ptDragStart.y;
    if (::EqualRect(&moved, &m_rcDrag)) return;
    if (moved.bottom - 56 < moved.top || moved.bottom > m_nBottomLimit) return;
    RECT line = {moved.left + 8, moved.bottom - CDragBoxDlg::kLineHeight, moved.right - 8, moved.bottom};
    m_dragLine.ShowAt(line);
    m_rcDrag = moved;
}

void CSearchCtrl::OnDragEnd() {
    if (!m_bDragging) return;
    const bool moved = m_bMoved;
    const RECT kept = m_rcDrag;
    CancelDrag();
    // A drag whose every move was refused keeps no rectangle: nothing moves.
    if (!moved || ::IsRectEmpty(&kept) || !IsWindow()) return;
    RECT panel = {};
    ::GetWindowRect(Handle(), &panel);
    ::SetWindowPos(Handle(), nullptr, panel.left, panel.top, panel.right - panel.left, kept.bottom - panel.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    Repaint();
    if (m_hOwner && ::IsWindow(m_hOwner)) ::SendMessageW(m_hOwner, WM_PANEL_RESIZE, kept.bottom, 1);
}

void CSearchCtrl::CancelDrag() {
    // Everything goes, so the next drag starts from its own press.
    m_bDragging = false;
    m_bMoved = false;
    m_bFirstMove = true;
    ::SetRectEmpty(&m_rcDrag);
    m_dragLine.Hide();
}
