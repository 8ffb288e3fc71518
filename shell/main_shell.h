#pragma once
// The program's top-level window: zero-sized, topmost, never seen. It owns
// the docked search bar, carries the tray icon, the Ctrl+Q hot key and the
// tray menu, and ends the run.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/window_impl.h"
#include "resources/resource_ids.h"
#include "shell/dock_wnd.h"
#include "shell/shell_messages.h"

// The system calls of the owner window that tests replace.
class IShellSystem {
public:
    virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); }
    virtual BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT key) {
        return ::RegisterHotKey(window, id, modifiers, key);
    }
    // The hot-key conflict box, OK only, owned by the (always-on-top) owner
    // window so that it comes above the bar.
    virtual void ShowHotKeyConflict(HWND owner, const wchar_t* text, const wchar_t* caption) {
        ::MessageBoxW(owner, text, caption, MB_OK);
    }
    // The tray menu, at `pt`, owned by `owner`; its commands arrive as WM_COMMAND.
    virtual void TrackTrayMenu(HMENU popup, POINT pt, HWND owner) {
        ::TrackPopupMenu(popup, TPM_LEFTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    }

protected:
    ~IShellSystem() = default;
};

// "Lumsek\r\nCtrl+Q可快捷呼出" from strings 1 and 48, cut to fit the tray's
// 128-character field.
std::wstring BuildTrayTip();
// The bar's rectangle at creation: 800 x 73, centred at the top of the primary screen.
RECT InitialDockRect();
// The window that hosts the desktop icons, or null.
HWND FindDesktopIconHost();

class CMainShell : public platform::WindowImpl<CMainShell> {
public:
    static constexpr UINT kTrayIconId = 1;
    static constexpr UINT_PTR kTrayRetryTimer = 1;
    static constexpr UINT kTrayRetryPeriod = 300;  // ms
    static constexpr int kTrayRetryLimit = 200;   // a minute of retries; "TaskbarCreated" covers later shells

    // A fixed class name: other processes find the window by it to send
    // WM_SHELL_QUIT and WM_SHELL_PIN.
    static const wchar_t* WindowClassName() { return L"LumsekMainShell"; }

    // `system` null: the real calls. It must outlive the window.
    explicit CMainShell(IShellSystem* system = nullptr);
    ~CMainShell() override;

    // The hidden owner window, shown once (WS_POPUP | WS_VISIBLE, topmost tool window).
    HWND CreateShell();

    CDockWnd& Dock() { return m_dock; }
    bool IsTrayIconAdded() const { return m_trayAdded; }
    const NOTIFYICONDATAW& TrayIconData() const { return m_nid; }
    ATOM HotKeyAtom() const { return m_hotKeyAtom; }
    bool IsHotKeyRegistered() const { return m_hotKeyRegistered; }

    // Hot key and tray clicks: re-creates the bar when it was closed to the
    // tray, else brings it back from its strip and focuses its edit.
    void ShowDock();

    WINDOW_MAP_BEGIN(CMainShell)
        ON_WINDOW_MESSAGE(WM_CREATE, OnCreate)
        ON_WINDOW_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        ON_WINDOW_MESSAGE(WM_MOVE, OnNothing)
        ON_WINDOW_MESSAGE(WM_SIZE, OnNothing)
        ON_WINDOW_MESSAGE(WM_SHELL_QUIT, OnShellQuit)
        ON_WINDOW_MESSAGE(WM_SHELL_PIN, OnShellPin)
        ON_WINDOW_COMMAND(ID_TRAY_QUIT, OnQuitCommand)
        ON_WINDOW_COMMAND(ID_TRAY_SETTINGS, OnSettings)
        ON_WINDOW_MESSAGE(WM_SYSCOMMAND, OnSwallow)
        ON_WINDOW_MESSAGE(WM_MOUSEMOVE, OnSwallow)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnSwallow)
        ON_WINDOW_MESSAGE(WM_HOTKEY, OnHotKey)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(m_taskbarCreated ? m_taskbarCreated : WM_NULL - 1, OnTaskbarCreated)
    WINDOW_MAP_END()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayNotify(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNothing(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnSwallow(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnShellQuit(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnShellPin(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnQuitCommand(WORD, WORD, HWND, BOOL&);
    LRESULT OnSettings(WORD, WORD, HWND, BOOL&);
    LRESULT OnHotKey(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&);

    void Quit();
    void CreateDock();
    bool AddTrayIcon();
    void RemoveTrayIcon();
    void RegisterShellHotKey();
    void ShowTrayMenu();

    IShellSystem* m_system;
    CDockWnd m_dock;
    HWND m_hDesktopIconHost = nullptr;
    NOTIFYICONDATAW m_nid = {};
    bool m_trayAdded = false;
    int m_trayRetries = 0;
    // "TaskbarCreated": a restarted shell has lost every icon.
    UINT m_taskbarCreated = 0;
    ATOM m_hotKeyAtom = 0;
    bool m_hotKeyRegistered = false;
};
