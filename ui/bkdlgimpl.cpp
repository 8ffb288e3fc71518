#include "ui/bkdlgimpl.h"

#include <windowsx.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/trace.h"
#include "platform/work_area.h"
#include "ui/bkresmanager.h"
#include "ui/bkthemeapi.h"
#include "ui/bkwinmanager.h"

namespace {

bool IsKeyboardMessage(UINT m) { return m >= WM_KEYFIRST && m <= 0x0109; }
bool IsMouseMessage(UINT m) { return m >= 0x0200 && m <= 0x020D; }

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t cls[64] = {};
    ::GetClassNameW(window, cls, 64);
    return ::lstrcmpW(cls, name) == 0;
}

// The other windows of the program while a modal window runs. On an X
// desktop a window manager stacks the windows Wine lets it manage (those
// that were ever activated or have a system menu) and leaves the others
// (popups shown without activation, such as the result list) over all of
// them. So for as long as the modal window is open:
// - a popup of ours that the manager may not know yet gets a system menu
//   for a moment, and Wine hands it to the manager (as it does with the
//   owner of a message box), so it no longer floats over every frame;
// - the windows that stand on top of others step down from there, and the
//   modal window, on top itself, stays above them whatever the user clicks
//   (the manager raises a clicked window only within its band);
// - they are disabled, so that clicks and keys have only the modal window
//   to go to.
// Everything is given back when the modal window ends.
class ModalSurroundings {
public:
    ModalSurroundings(HWND dialog, HWND shadow) {
        m_dialog = dialog;
        m_shadow = shadow;
        // Top of the stacking order first.
        ::EnumWindows(&ModalSurroundings::Collect, reinterpret_cast<LPARAM>(this));

        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        for (HWND w : m_windows) {
            const LONG_PTR style = ::GetWindowLongPtrW(w, GWL_STYLE);
            if ((style & WS_POPUP) && !(style & (WS_SYSMENU | WS_THICKFRAME)) && (style & WS_CAPTION) != WS_CAPTION) {
                ::SetWindowLongPtrW(w, GWL_STYLE, style | WS_SYSMENU);
                ::SetWindowPos(w, nullptr, 0, 0, 0, 0, flags | SWP_NOZORDER | SWP_FRAMECHANGED);
                ::SetWindowLongPtrW(w, GWL_STYLE, style);
            }
        }
        // A window stays on top while its owner does: owners step down
        // first, and what could not yet is tried again after them.
        for (int pass = 0; pass < 4; ++pass) {
            for (HWND w : m_topmost) {
                if (!(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST)) continue;
                ::SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
                if (std::find(m_lowered.begin(), m_lowered.end(), w) == m_lowered.end()) m_lowered.push_back(w);
            }
        }
        for (HWND w : m_windows) {
            if (::IsWindowEnabled(w)) {
                ::EnableWindow(w, FALSE);
                m_disabled.push_back(w);
            }
        }
        // The modal window itself stands on top (an owner stepping down
        // takes the windows it owns along).
        ::SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }

    ~ModalSurroundings() {
        for (HWND w : m_disabled)
            if (::IsWindow(w)) ::EnableWindow(w, TRUE);
        // Bottom first, so that they come back in the order they had.
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        for (auto it = m_lowered.rbegin(); it != m_lowered.rend(); ++it)
            if (::IsWindow(*it)) ::SetWindowPos(*it, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }

    ModalSurroundings(const ModalSurroundings&) = delete;
    ModalSurroundings& operator=(const ModalSurroundings&) = delete;

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM p) {
        auto* self = reinterpret_cast<ModalSurroundings*>(p);
        if (w == self->m_dialog || w == self->m_shadow) return TRUE;
        if (::GetWindowThreadProcessId(w, nullptr) != ::GetCurrentThreadId()) return TRUE;
        if (!::IsWindowVisible(w) || ::IsIconic(w)) return TRUE;
        // Shadows and drop-downs take no activation; menus and tips come
        // and go by themselves.
        if (::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_NOACTIVATE) return TRUE;
        if (HasClass(w, L"#32768") || HasClass(w, TOOLTIPS_CLASSW)) return TRUE;
        // The owner window, outside every screen and empty, only steps down
        // with the windows it owns.
        if (::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) self->m_topmost.push_back(w);
        RECT rc = {};
        if (::GetWindowRect(w, &rc) && !::IsRectEmpty(&rc)) self->m_windows.push_back(w);
        return TRUE;
    }

    HWND m_dialog = nullptr;
    HWND m_shadow = nullptr;
    std::vector<HWND> m_windows;
    std::vector<HWND> m_topmost;
    std::vector<HWND> m_lowered;
    std::vector<HWND> m_disabled;
};

} // namespace

CBkDialogHost::CBkDialogHost(UINT uResID) : m_uResID(uResID) {}

CBkDialogHost::~CBkDialogHost() {
    // Destroyed here, while the view and the shadow still exist; the derived
    // part is already gone, so only this base map sees the last messages.
    HWND hwnd = Handle();
    if (hwnd && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
}

BOOL CBkDialogHost::Load() {
    std::string xml;
    if (!BkResManager::LoadResource(m_uResID, L"xml", xml)) return FALSE;
    return m_richView.XmlLoad(xml);
}

HWND CBkDialogHost::Create(HWND hWndParent) { return CreateWithRect(hWndParent, nullptr); }

HWND CBkDialogHost::Create(HWND hWndParent, const RECT& rc) { return CreateWithRect(hWndParent, &rc); }

HWND CBkDialogHost::CreateWithRect(HWND hWndParent, const RECT* pRect) {
    if (!m_richView.IsLayoutLoaded() && m_uResID != 0 && !Load()) {
        platform::Trace("layout %u does not load", m_uResID);
        return nullptr;
    }
    const int minW = std::max(0, m_richView.GetMinWidth());
    const int minH = std::max(0, m_richView.GetMinHeight());
    RECT rc = {0, 0, minW, minH};
    if (pRect) {
        rc = *pRect;
        if (rc.right - rc.left < minW) rc.right = rc.left + minW;
        if (rc.bottom - rc.top < minH) rc.bottom = rc.top + minH;
    }
    const DWORD style = m_richView.GetDlgStyle();
    HWND hwnd = CreateFrame(hWndParent, rc, m_richView.GetTitle().c_str(), style, m_richView.GetDlgExStyle());
    if (hwnd == nullptr) return nullptr;

    if (m_bShadowEnabled && !(style & WS_CHILD)) {
        m_wndShadow.Create(hwnd);
        m_richView.SetShadow(&m_wndShadow);
    }
    BkThemeApi::ClearWindowTheme(hwnd);

    if (m_richView.Handle() && ::IsWindow(m_richView.Handle())) m_richView.DestroyWindow();
    if (pRect) {
        RECT viewRect = {0, 0, rc.right - rc.left, rc.bottom - rc.top};
        m_richView.Create(hwnd, &viewRect, IDC_BKVIEW);
    } else {
        m_richView.Create(hwnd, nullptr, IDC_BKVIEW);
    }

    m_bForeground = TRUE;
    ::SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(hwnd), 0);
    // WM_INITDIALOG may have given up on the window.
    if (!::IsWindow(hwnd)) return nullptr;
    m_richView.ShowAllRealWindows();

    if (m_richView.GetLayerWidth() != 0 && m_richView.GetLayerHeight() != 0) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, m_richView.GetLayerWidth(), m_richView.GetLayerHeight(),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return hwnd;
}

int CBkDialogHost::DoModal(HWND hWndOwner, const RECT* pRect) {
    HWND owner = hWndOwner;
    if (owner == nullptr) owner = BkWinManager::GetActive();
    if (owner == nullptr) owner = ::GetActiveWindow();
    bool disabledOwner = false;
    if (owner && owner != ::GetDesktopWindow() && ::IsWindow(owner) && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        disabledOwner = true;
    }

    m_bEnd = FALSE;
    HWND hwnd = CreateWithRect(owner, pRect);
    if (hwnd == nullptr) {
        if (disabledOwner) ::EnableWindow(owner, TRUE);
        return 0;
    }
    HWND previousActive = BkWinManager::SetActive(hwnd);
    if (pRect == nullptr) {
        CenterWindow();
    } else {
        // Wherever the caller put it, the user must reach all of it.
        const RECT now = GetWindowRect();
        const RECT fit = platform::FitIntoWorkArea(now);
        if (fit.left != now.left || fit.top != now.top)
            ::SetWindowPos(hwnd, nullptr, fit.left, fit.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Before the window shows, so that it comes up over all of them.
    std::unique_ptr<ModalSurroundings> surroundings(new ModalSurroundings(hwnd, m_wndShadow.GetShadowWindow()));

    if (m_bForeground) {
        HWND foreground = ::GetForegroundWindow();
        DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
        // Session value only (no profile update): lets this process take the
        // foreground now without changing the user's saved setting.
        ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
        ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
        DWORD current = ::GetCurrentThreadId();
        if (foregroundThread != 0 && foregroundThread != current) {
            ::AttachThreadInput(foregroundThread, current, TRUE);
            ::SetForegroundWindow(hwnd);
            ::AttachThreadInput(foregroundThread, current, FALSE);
        }
    } else if (!::IsWindowVisible(hwnd)) {
        // A modal window must be seen, or its disabled owner is stuck.
        ::ShowWindow(hwnd, SW_SHOW);
    }
    // The keyboard for the dialog, whatever window had it when it opened
    // (the tray's, another program's).
    m_keyAnchor.Create(hwnd);
    TakeKeyboard();
    // Once more from the loop: X takes a focus request only when it is newer
    // than the last focus change, and the window manager may have just made
    // one as the dialog mapped.
    ::PostMessageW(hwnd, WM_BKDLG_TAKE_KEYBOARD, 0, 0);

    RunModalLoop();
    m_keyAnchor.Destroy();

    m_bEnd = FALSE;
    const int code = m_nEndCode;
    if (::IsWindow(hwnd)) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
    surroundings.reset();
    if (disabledOwner && ::IsWindow(owner)) {
        ::EnableWindow(owner, TRUE);
        if (::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
    }
    BkWinManager::SetActive(previousActive);
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    return code;
}

void CBkDialogHost::TakeKeyboard() {
    HWND self = Handle();
    if (self == nullptr || !::IsWindow(self) || !::IsWindowVisible(self)) return;
    m_keyAnchor.Catch();
    ::SetForegroundWindow(self);
    // The window passes the focus on to its view.
    ::SetFocus(self);
}

HWND CBkDialogHost::RunningModal() {
    HWND modal = BkWinManager::GetActive();
    if (modal && ::IsWindow(modal) && ::IsWindowVisible(modal) &&
        ::GetWindowThreadProcessId(modal, nullptr) == ::GetCurrentThreadId()) {
        return modal;
    }
    struct Search {
        // A message box disables its owner, if it has one; a modeless sheet
        // of the system's leaves it alone.
        static BOOL CALLBACK Box(HWND w, LPARAM p) {
            if (!::IsWindowVisible(w) || !HasClass(w, L"#32770")) return TRUE;
            HWND owner = ::GetWindow(w, GW_OWNER);
            if (owner && ::IsWindowEnabled(owner)) return TRUE;
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
        }
    };
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &Search::Box, reinterpret_cast<LPARAM>(&box));
    return box;
}

void CBkDialogHost::RunModalLoop() {
    const HWND hwnd = Handle();
    for (;;) {
        MSG msg = {};
        // A quit seen at the head of the queue stays there for the loop outside.
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message == WM_QUIT) return;
        if (hwnd == nullptr || !::IsWindow(hwnd)) return;
        if (m_bEnd) return;
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            platform::TraceLastError("GetMessageW");
            continue;
        }
        if (got == 0) {
            // Taken here, the quit would be lost to the loop that should end.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CBkDialogHost::EndDialog(int nCode) {
    m_nEndCode = nCode;
    m_bEnd = TRUE;
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

BOOL CBkDialogHost::PreTranslateMessage(MSG* pMsg) {
    if (pMsg == nullptr) return FALSE;
    if (!IsKeyboardMessage(pMsg->message) && !IsMouseMessage(pMsg->message)) return FALSE;
    HWND self = Handle();
    HWND view = m_richView.Handle();
    if (self == nullptr || view == nullptr) return FALSE;

    HWND focus = ::GetFocus();
    if (focus && focus != view && focus != self && ::IsChild(self, focus)) {
        // The real window below the view that holds the focus gets the first
        // look (a hosted browser translates its accelerators).
        HWND child = focus;
        while (child && child != self && ::GetParent(child) != view) child = ::GetParent(child);
        if (child && child != self && ::SendMessageW(child, WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(pMsg)) == 1)
            return TRUE;
    }
    return ::IsDialogMessageW(view, pMsg);
}

LRESULT CBkDialogHost::OnShadowFollow(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (m_bShadowEnabled) m_wndShadow.FollowOwner(uMsg, wParam, lParam);
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogHost::OnAnswerOne(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CBkDialogHost::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (!wParam) return 0;
    // No frame: the client area is the whole window.
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    const WINDOWPOS* pos = params->lppos;
    if (pos && !(pos->flags & SWP_NOSIZE)) {
        RECT& rc = params->rgrc[0];
        if (!(pos->flags & SWP_NOMOVE)) {
            rc.left = pos->x;
            rc.top = pos->y;
        }
        int w = std::max(pos->cx, m_richView.GetMinWidth());
        int h = std::max(pos->cy, m_richView.GetMinHeight());
        if (m_richView.IsHoldSize() && m_richView.GetLayerWidth() && m_richView.GetLayerHeight()) {
            w = m_richView.GetLayerWidth();
            h = m_richView.GetLayerHeight();
        }
        rc.right = rc.left + w;
        rc.bottom = rc.top + h;
    }
    return 0;
}

LRESULT CBkDialogHost::OnWindowPosChanging(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos && m_richView.IsHoldSize() && m_richView.GetLayerWidth() && m_richView.GetLayerHeight()) {
        pos->cx = m_richView.GetLayerWidth();
        pos->cy = m_richView.GetLayerHeight();
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogHost::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    HMONITOR monitor = ::MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST);
    if (!::GetMonitorInfoW(monitor, &mi)) return 0;
    if (m_richView.IsResizable()) {
        mmi->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
        mmi->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
        mmi->ptMaxSize.x = mi.rcWork.right - mi.rcWork.left;
        mmi->ptMaxSize.y = mi.rcWork.bottom - mi.rcWork.top;
    } else if (m_richView.GetLayerWidth() > 0 && m_richView.GetLayerHeight() > 0) {
        // Without a layer size the system's limits stay: a maximum of 0 x 0
        // would forbid every size.
        mmi->ptMaxPosition.x = 0;
        mmi->ptMaxPosition.y = 0;
        mmi->ptMaxSize.x = m_richView.GetLayerWidth();
        mmi->ptMaxSize.y = m_richView.GetLayerHeight();
    } else {
        return 0;
    }
    mmi->ptMaxTrackSize = mmi->ptMaxSize;
    return 0;
}

LRESULT CBkDialogHost::OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (wParam == SIZE_MINIMIZED) return 0;
    if (wParam == SIZE_MAXIMIZED && !m_richView.IsResizable()) {
        ModifyStyle(WS_MAXIMIZE, 0);
        CenterWindow();
        return 0;
    }
    if (m_richView.Handle()) m_richView.MoveWindow(0, 0, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), TRUE);
    return 0;
}

LRESULT CBkDialogHost::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    HWND self = Handle();
    if (::IsWindowEnabled(self) && !(::GetKeyState(VK_CONTROL) & 0x8000)) {
        if (wParam == VK_ESCAPE) ::SendMessageW(self, WM_COMMAND, IDCANCEL, 0);
        else if (wParam == VK_RETURN) ::SendMessageW(self, WM_COMMAND, IDOK, 0);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogHost::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    ::SendMessageW(Handle(), WM_COMMAND, IDCANCEL, 0);
    return 0;
}

LRESULT CBkDialogHost::OnOkCancel(WORD, WORD wID, HWND, BOOL&) {
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = Handle();
    nm.hdr.idFrom = IDC_BKVIEW;
    nm.hdr.code = BKNM_COMMAND;
    nm.uItemID = wID == IDOK ? 1 : 2;
    nm.szItemClass = "";
    ::SendMessageW(Handle(), WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
    return 0;
}

LRESULT CBkDialogHost::OnSetCursor(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    // A real window laid over the view (the search edit) asks its parent
    // first: the pointer left the view's controls without the view seeing
    // it go, so their hover is dropped here.
    HWND under = reinterpret_cast<HWND>(wParam);
    if (m_richView.IsWindow() && under != m_richView.Handle()) m_richView.DropHover();
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogHost::OnTakeKeyboard(UINT, WPARAM, LPARAM, BOOL&) {
    TakeKeyboard();
    return 0;
}

LRESULT CBkDialogHost::OnMouseWheel(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HWND target = ::WindowFromPoint(pt);
    DWORD pid = 0;
    // Scroll messages carry no pointers, but another program's window has no
    // business receiving our wheel as scrolling.
    if (target && ::GetWindowThreadProcessId(target, &pid) && pid == ::GetCurrentProcessId()) {
        WORD code = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_PAGEUP : SB_PAGEDOWN;
        WORD pos = static_cast<WORD>(::GetScrollPos(target, SB_VERT));
        ::SendMessageW(target, WM_VSCROLL, MAKEWPARAM(code, pos), 0);
    }
    return 1;
}

LRESULT CBkDialogHost::OnSetFocus(UINT, WPARAM, LPARAM, BOOL&) {
    if (m_richView.Handle()) ::SetFocus(m_richView.Handle());
    return 0;
}

LRESULT CBkDialogHost::OnEnterSizeMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    if (m_bFullDrag && m_nSavedFullDrag == -1) {
        BOOL on = FALSE;
        ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
        m_nSavedFullDrag = on ? 1 : 0;
        if (on) ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogHost::OnExitSizeMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    if (m_bFullDrag) {
        if (m_nSavedFullDrag > 0) ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
        m_nSavedFullDrag = -1;
    }
    bHandled = FALSE;
    return 0;
}
