#include "shell/main_shell.h"

#include "resources/resource_ids.h"
#include "results/shell_menu.h"
#include "shell/check_dlg.h"
#include "shell/dock_wnd2.h"
#include "shell/module_binding.h"
#include "platform/trace.h"
#include "ui/bkstring.h"

namespace {

constexpr int kDockWidth = 800;
// Where the owner window stands: left and top of every screen, as far as
// a minimized window is put.
constexpr int kOffScreen = -32000;

#ifdef NOTIFYICONDATAW_V3_SIZE
constexpr DWORD kTrayDataSize = NOTIFYICONDATAW_V3_SIZE;
#else
constexpr DWORD kTrayDataSize = FIELD_OFFSET(NOTIFYICONDATAW, hBalloonIcon);
#endif
static_assert(sizeof(void*) != 4 || kTrayDataSize == 952, "the tray data is the 952-byte layout on x86");

IShellSystem& RealSystem() {
    static struct : IShellSystem {} system;
    return system;
}

// The cursor point, with x pulled into the nearest monitor's work area when
// the point lies on no monitor.
POINT MenuPointAtCursor() {
    POINT pt = {};
    ::GetCursorPos(&pt);
    pt.x = ClampXToNearestWorkArea(pt.x, pt.y);
    return pt;
}

bool HasDefView(HWND window) {
    return ::FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) != nullptr;
}

} // namespace

std::wstring BuildTrayTip() {
    const wchar_t* name = BkString::Get(1);
    const wchar_t* hint = BkString::Get(48);
    std::wstring tip = name ? name : L"";
    tip += L"\r\n";
    tip += hint ? hint : L"";
    if (tip.size() > 127) tip.resize(127);
    return tip;
}

RECT InitialDockRect() {
    RECT rc;
    rc.left = (::GetSystemMetrics(SM_CXSCREEN) - kDockWidth) / 2;
    rc.top = 2;
    rc.right = rc.left + kDockWidth;
    rc.bottom = 75;
    return rc;
}

HWND FindDesktopIconHost() {
    HWND progman = ::FindWindowW(L"Progman", nullptr);
    if (progman && HasDefView(progman)) return progman;
    for (HWND worker = ::FindWindowExW(nullptr, nullptr, L"WorkerW", nullptr); worker;
         worker = ::FindWindowExW(nullptr, worker, L"WorkerW", nullptr)) {
        if (HasDefView(worker)) return worker;
    }
    return nullptr;
}

CMainShell::CMainShell(IShellSystem* system)
    : m_system(system ? system : &RealSystem()), m_taskbarCreated(::RegisterWindowMessageW(L"TaskbarCreated")) {}

CMainShell::~CMainShell() {
    if (IsWindow()) DestroyWindow();
}

HWND CMainShell::CreateShell() {
    // Empty, and outside every screen: the window is never seen, and an X
    // server under Wine does not map it either. A window manager that
    // managed it would take the bar and the boxes it owns for its
    // dialogs and keep the keyboard from them while it is not focused.
    RECT empty = {kOffScreen, kOffScreen, kOffScreen, kOffScreen};
    return Create(nullptr, &empty, L"", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
}

LRESULT CMainShell::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HICON icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_LUMSEK), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    m_nid = {};
    m_nid.cbSize = kTrayDataSize;
    m_nid.hWnd = Handle();
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    m_nid.uVersion = 3;
    // Without its own icon the program still needs a place in the tray.
    m_nid.hIcon = icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
    const std::wstring tip = BuildTrayTip();
    std::copy(tip.begin(), tip.end(), m_nid.szTip);
    m_nid.szTip[tip.size()] = L'\0';

    // The shell may not be up yet (start at log-on): retry on a timer, never
    // by blocking this thread.
    if (!AddTrayIcon() && !AddTrayIcon()) {
        m_trayRetries = 0;
        ::SetTimer(Handle(), kTrayRetryTimer, kTrayRetryPeriod, nullptr);
    }

    m_hDesktopIconHost = FindDesktopIconHost();
    CreateDock();
    RegisterShellHotKey();
    return 1;
}

bool CMainShell::AddTrayIcon() {
    m_trayAdded = m_system->NotifyIcon(NIM_ADD, &m_nid) != FALSE;
    return m_trayAdded;
}

void CMainShell::RemoveTrayIcon() {
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayDataSize;
    data.hWnd = Handle();
    data.uID = kTrayIconId;
    m_system->NotifyIcon(NIM_DELETE, &data);
    m_trayAdded = false;
}

LRESULT CMainShell::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kTrayRetryTimer) {
        handled = FALSE;
        return 0;
    }
    if (AddTrayIcon() || ++m_trayRetries >= kTrayRetryLimit) {
        if (!m_trayAdded) platform::Trace("tray icon not added after %d tries", m_trayRetries);
        ::KillTimer(Handle(), kTrayRetryTimer);
    }
    return 0;
}

LRESULT CMainShell::OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&) {
    // The new shell knows no icon: add ours again (the retry timer, if any,
    // goes on while this fails).
    if (AddTrayIcon()) ::KillTimer(Handle(), kTrayRetryTimer);
    return 0;
}

void CMainShell::CreateDock() {
    m_dock.ResetState();
    if (!m_dock.Create(Handle(), InitialDockRect())) {
        platform::TraceLastError("creating the search bar");
        return;
    }
    ::BringWindowToTop(m_dock.Handle());
    m_dock.ShowWindow(SW_SHOW);
}

void CMainShell::RegisterShellHotKey() {
    m_hotKeyAtom = ::GlobalAddAtomW(L"LumsekHotKey");
    if (m_hotKeyAtom == 0) {
        platform::TraceLastError("GlobalAddAtom for the hot key");
        return;
    }
    m_hotKeyRegistered = m_system->RegisterHotKey(Handle(), m_hotKeyAtom, MOD_CONTROL, 'Q') != FALSE;
    if (!m_hotKeyRegistered) {
        const wchar_t* text = BkString::Get(14);
        const wchar_t* caption = BkString::Get(1);
        m_system->ShowHotKeyConflict(Handle(), text ? text : L"", caption ? caption : L"");
    }
}

LRESULT CMainShell::OnTrayNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    // The tray sends (icon id, mouse message): plain numbers, never a
    // pointer, whoever sends them.
    if (wParam != kTrayIconId) return 0;
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ShowDock();
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu();
        break;
    default:
        break;
    }
    return 0;
}

void CMainShell::ShowTrayMenu() {
    HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_TRAY));
    if (!menu) {
        platform::TraceLastError("loading the tray menu");
        return;
    }
    if (HMENU popup = ::GetSubMenu(menu, 0)) {
        // The menu closes properly only when its owner is the foreground window.
        ::SetForegroundWindow(Handle());
        m_system->TrackTrayMenu(popup, MenuPointAtCursor(), Handle());
    }
    ::DestroyMenu(menu);
}

void CMainShell::ShowDock() {
    // A dialog or box holds the program: the bar stays hidden until it ends
    // (it would come back disabled, and could cover the dialog), and the
    // call for the program gives the dialog the keyboard instead.
    HWND modal = CBkDialogHost::RunningModal();
    CDockWnd2* expanded = m_dock.IsWindow() ? m_dock.ExpandedDock() : nullptr;
    if (modal && !(expanded && expanded->Handle() == modal)) {
        ::SetForegroundWindow(modal);
        ::PostMessageW(modal, WM_BKDLG_TAKE_KEYBOARD, 0, 0);
        return;
    }
    if (!m_dock.IsWindow()) {
        // Back from the tray: the user asked for the bar, so it stays and
        // the keyboard goes to its edit, as when it comes out of its strip.
        CreateDock();
        if (!m_dock.IsWindow()) return;
        m_dock.SetKeepOpen(TRUE);
        m_dock.TakeKeyboardIntoEdit();
        return;
    }
    if (m_dock.IsExpandedDockRunning()) {
        // The taller bar runs in the bar's place: the hot key brings it back.
        if (CDockWnd2* expanded = m_dock.ExpandedDock()) {
            expanded->RestoreFromMiniDock();
            expanded->SetKeepOpen(TRUE);
            expanded->FocusEdit();
        }
        return;
    }
    if (m_dock.IsMiniDockVisible()) m_dock.RestoreFromMiniDock();
    m_dock.SetKeepOpen(TRUE);
    m_dock.TakeKeyboardIntoEdit();
}

LRESULT CMainShell::OnHotKey(UINT, WPARAM, LPARAM, BOOL&) {
    ShowDock();
    return 0;
}

LRESULT CMainShell::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
    ::KillTimer(Handle(), kTrayRetryTimer);
    RemoveTrayIcon();
    m_dock.DestroyPanels();
    return 1;
}

void CMainShell::Quit() {
    m_dock.DestroyPanels();
    DestroyWindow();
    ::PostQuitMessage(1);
}

LRESULT CMainShell::OnShellQuit(UINT, WPARAM, LPARAM, BOOL&) {
    Quit();
    return 1;
}

LRESULT CMainShell::OnQuitCommand(WORD, WORD, HWND, BOOL&) {
    Quit();
    return 1;
}

LRESULT CMainShell::OnShellPin(UINT, WPARAM wParam, LPARAM, BOOL&) {
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE;
    if (wParam == 1) {
        if (m_hDesktopIconHost && ::IsWindow(m_hDesktopIconHost)) ::SetParent(Handle(), m_hDesktopIconHost);
        SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    } else {
        ::SetParent(Handle(), ::GetDesktopWindow());
        SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, flags);
    }
    return 1;
}

LRESULT CMainShell::OnSettings(WORD, WORD, HWND, BOOL&) {
    // The auto-start question; the dialog centres itself over the desktop.
    CCheckDlg dialog(CCheckDlg::MODE_AUTORUN);
    dialog.OnBootStartStored = [](unsigned bootStart) { ReportBootStartEvent(bootStart != 0); };
    dialog.DoModal(::GetDesktopWindow(), nullptr);
    return 0;
}
