#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/dock_wnd2.h"
#include "shell/main_shell.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"

namespace {

class FakeSystem : public IShellSystem {
public:
    BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override {
        calls.push_back({message, *data});
        if (message == NIM_ADD && addFailures > 0) {
            --addFailures;
            return FALSE;
        }
        return TRUE;
    }
    BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT key) override {
        hotKey = {reinterpret_cast<UINT_PTR>(window), static_cast<UINT_PTR>(id), modifiers, key};
        return hotKeyFree;
    }
    void ShowHotKeyConflict(HWND owner, const wchar_t* text, const wchar_t* caption) override {
        boxes.push_back(std::wstring(text) + L"|" + caption);
        boxOwner = owner;
    }
    void TrackTrayMenu(HMENU popup, POINT, HWND owner) override {
        menuOwner = owner;
        for (int i = 0; i < ::GetMenuItemCount(popup); ++i) {
            wchar_t text[64] = {};
            ::GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
            menu.push_back(std::to_wstring(::GetMenuItemID(popup, i)) + L" " + text);
        }
    }
    int Count(DWORD message) const {
        int n = 0;
        for (const auto& call : calls) n += call.first == message;
        return n;
    }

    std::vector<std::pair<DWORD, NOTIFYICONDATAW>> calls;
    int addFailures = 0;
    BOOL hotKeyFree = TRUE;
    std::vector<UINT_PTR> hotKey;
    std::vector<std::wstring> boxes;
    std::vector<std::wstring> menu;
    HWND menuOwner = nullptr;
    HWND boxOwner = nullptr;
};

class MainShellTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(BkString::Load()); }
};

TEST_F(MainShellTest, TrayIconTipAndHotKey) {
    FakeSystem system;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());
    EXPECT_EQ(L"LumsekMainShell", std::wstring(CMainShell::WindowClassName()));
    EXPECT_EQ(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, shell.GetExStyle() & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW));

    ASSERT_EQ(1, system.Count(NIM_ADD));
    const NOTIFYICONDATAW& added = system.calls[0].second;
    EXPECT_EQ(shell.Handle(), added.hWnd);
    EXPECT_EQ(1u, added.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), added.uFlags);
    EXPECT_EQ(3158u, added.uCallbackMessage);
    EXPECT_NE(nullptr, added.hIcon);
    EXPECT_EQ(std::wstring(L"Lumsek\r\nCtrl+Q可快捷呼出"), added.szTip);
    EXPECT_EQ(L"Lumsek\r\nCtrl+Q可快捷呼出", BuildTrayTip());
    EXPECT_TRUE(shell.IsTrayIconAdded());

    // Ctrl+Q under the atom "LumsekHotKey", no box.
    const ATOM atom = ::GlobalFindAtomW(L"LumsekHotKey");
    ASSERT_NE(0, atom);
    EXPECT_EQ((std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(shell.Handle()), atom,
                                     static_cast<UINT_PTR>(MOD_CONTROL), 'Q'}),
              system.hotKey);
    EXPECT_TRUE(shell.IsHotKeyRegistered());
    EXPECT_TRUE(system.boxes.empty());

    // Empty, and outside every screen: no part of it shows anywhere, and an
    // X server under Wine never maps it for a window manager to manage.
    RECT rc = {};
    ASSERT_TRUE(::GetWindowRect(shell.Handle(), &rc));
    EXPECT_TRUE(::IsRectEmpty(&rc));
    EXPECT_TRUE(shell.GetStyle() & WS_VISIBLE);
    EXPECT_EQ(nullptr, ::MonitorFromPoint(POINT{rc.left, rc.top}, MONITOR_DEFAULTTONULL));

    // System commands never reach the default procedure (Alt+F4 does nothing).
    shell.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_TRUE(shell.IsWindow());

    const RECT dock = InitialDockRect();
    EXPECT_EQ(800, dock.right - dock.left);
    EXPECT_EQ(2, dock.top);
    EXPECT_EQ(75, dock.bottom);
}

TEST_F(MainShellTest, TrayRetriesOnATimerAndComesBackWithANewTaskbar) {
    FakeSystem system;
    system.addFailures = 4;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());
    // Two tries at once, then the timer: creation does not block.
    EXPECT_EQ(2, system.Count(NIM_ADD));
    EXPECT_FALSE(shell.IsTrayIconAdded());
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return shell.IsTrayIconAdded(); }, 10000));
    EXPECT_EQ(5, system.Count(NIM_ADD));
    testing_support::PumpMessages(700);
    EXPECT_EQ(5, system.Count(NIM_ADD));

    // A restarted shell broadcasts "TaskbarCreated": the icon goes in again.
    shell.SendMessage(::RegisterWindowMessageW(L"TaskbarCreated"));
    EXPECT_EQ(6, system.Count(NIM_ADD));
}

TEST_F(MainShellTest, HotKeyConflictShowsTheBoxOnce) {
    FakeSystem system;
    system.hotKeyFree = FALSE;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());
    EXPECT_FALSE(shell.IsHotKeyRegistered());
    EXPECT_EQ(std::vector<std::wstring>{L"请注意，热键冲突，Crtl+Q不可用|Lumsek"}, system.boxes);
    // Owned by the always-on-top owner window: it comes above the bar.
    EXPECT_EQ(shell.Handle(), system.boxOwner);
    EXPECT_TRUE(shell.IsWindow());
}

TEST_F(MainShellTest, TrayMenuCommandsAndQuit) {
    FakeSystem system;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());

    // Clicks on another icon id are ignored.
    shell.SendMessage(WM_TRAY_NOTIFY, 2, WM_RBUTTONDOWN);
    EXPECT_TRUE(system.menu.empty());
    shell.SendMessage(WM_TRAY_NOTIFY, 1, WM_RBUTTONDOWN);
    EXPECT_EQ((std::vector<std::wstring>{L"40016 设置(&S)", L"40015 退出(&X)"}), system.menu);
    EXPECT_EQ(shell.Handle(), system.menuOwner);

    // 退出: the icon goes, the window goes, the loop is asked to end with 1.
    shell.SendMessage(WM_COMMAND, ID_TRAY_QUIT);
    EXPECT_FALSE(shell.IsWindow());
    ASSERT_EQ(1, system.Count(NIM_DELETE));
    EXPECT_EQ(1u, system.calls.back().second.uID);
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(1u, msg.wParam);
}

// Runs inside the taller bar's modal loop: the hot key while it runs, then
// the close that ends the run.
CMainShell* g_shell = nullptr;
bool g_editShown = false;
void CALLBACK DriveExpandedDock(HWND, UINT, UINT_PTR timer, DWORD) {
    CDockWnd2* expanded = g_shell->Dock().ExpandedDock();
    if (!expanded || !expanded->Edit().IsWindow()) return;
    ::KillTimer(nullptr, timer);
    g_shell->SendMessage(WM_HOTKEY, g_shell->HotKeyAtom(), MAKELPARAM(MOD_CONTROL, 'Q'));
    g_editShown = expanded->Edit().IsWindowVisible();
    expanded->Close();
}

TEST_F(MainShellTest, HotKeyWhileTheTallerBarRunsFocusesItsEdit) {
    FakeSystem system;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());
    g_shell = &shell;
    ::SetTimer(nullptr, 0, 50, DriveExpandedDock);
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = shell.Dock().Handle();
    nm.hdr.idFrom = IDC_BKVIEW;
    nm.hdr.code = BKNM_COMMAND;
    nm.uItemID = CDockWnd::IDC_EXPANDED;
    nm.szItemClass = "";
    ::SendMessageW(shell.Dock().Handle(), WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
    EXPECT_TRUE(g_editShown);
    EXPECT_FALSE(shell.Dock().IsExpandedDockRunning());
    EXPECT_TRUE(shell.Dock().IsWindowVisible());
    g_shell = nullptr;
}

} // namespace

namespace {

TEST_F(MainShellTest, HotKeyBringsBackABarClosedToTheTray) {
    FakeSystem system;
    CMainShell shell(&system);
    ASSERT_NE(nullptr, shell.CreateShell());
    ASSERT_TRUE(shell.Dock().IsWindow());
    EXPECT_EQ(shell.Handle(), shell.Dock().GetOwner());

    // Closed to the tray: the owner window, its icon and hot key stay.
    shell.Dock().DestroyPanels();
    ASSERT_FALSE(shell.Dock().IsWindow());
    EXPECT_TRUE(shell.IsWindow());
    EXPECT_EQ(0, system.Count(NIM_DELETE));

    shell.SendMessage(WM_HOTKEY, shell.HotKeyAtom(), MAKELPARAM(MOD_CONTROL, 'Q'));
    ASSERT_TRUE(shell.Dock().IsWindow());
    const RECT expected = InitialDockRect();
    const RECT rc = shell.Dock().GetWindowRect();
    EXPECT_EQ(expected.left, rc.left);
    EXPECT_EQ(expected.top, rc.top);
    EXPECT_EQ(800, rc.right - rc.left);
    EXPECT_EQ(73, rc.bottom - rc.top);
    EXPECT_TRUE(shell.Dock().IsWindowVisible());
    // Asked for, it stays open with the keyboard in its edit, also once it
    // has slid to the top of the screen.
    EXPECT_TRUE(shell.Dock().IsKeepOpen());
    EXPECT_TRUE(shell.Dock().Edit().IsWindowVisible());
    EXPECT_EQ(shell.Dock().Edit().Handle(), ::GetFocus());
    ::SetCursorPos(600, 900);  // far from the bar
    testing_support::PumpMessages(2000);
    EXPECT_EQ(0, shell.Dock().GetWindowRect().top);
    EXPECT_TRUE(shell.Dock().IsKeepOpen());
    EXPECT_TRUE(shell.Dock().IsWindowVisible());
    EXPECT_FALSE(shell.Dock().IsMiniDockVisible());
}

} // namespace
