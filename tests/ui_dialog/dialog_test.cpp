#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "platform/message_loop.h"
#include "tests/support/test_support.h"
#include "ui/bkwinmanager.h"

namespace {

class PlainWindow : public platform::WindowImpl<PlainWindow> {
public:
    std::vector<UINT> scrolls;
    std::function<void()> onApp;
    WINDOW_MAP_BEGIN(PlainWindow)
        ON_WINDOW_MESSAGE(WM_VSCROLL, OnVScroll)
        ON_WINDOW_MESSAGE(WM_APP, OnApp)
    WINDOW_MAP_END()
    LRESULT OnVScroll(UINT, WPARAM wp, LPARAM, BOOL&) {
        scrolls.push_back(LOWORD(wp));
        return 0;
    }
    LRESULT OnApp(UINT, WPARAM, LPARAM, BOOL&) {
        if (onApp) onApp();
        return 0;
    }
};

void SetCtrlDown(bool down) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

Notified Command(UINT item) { return Notified{BKNM_COMMAND, item, ""}; }

TEST(Dialog, EscapeEnterAndCloseBecomeItemsTwoAndOne) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    HWND hwnd = dlg.Handle();
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(hwnd));  // the close box does not destroy by itself
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{Command(2), Command(1), Command(2)}));

    // With Ctrl held, or while disabled, keys do nothing.
    dlg.notes.clear();
    SetCtrlDown(true);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    SetCtrlDown(false);
    ::EnableWindow(hwnd, FALSE);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ::EnableWindow(hwnd, TRUE);
    EXPECT_TRUE(dlg.notes.empty());
    dlg.DestroyWindow();
}

TEST(Dialog, DoModalEndsOnAPostedEndDialogAndReenablesTheOwner) {
    BkWinManager manager;
    PlainWindow owner;
    ASSERT_NE(owner.Create(nullptr, nullptr, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
    HWND registered = reinterpret_cast<HWND>(0);
    BkWinManager::SetActive(registered);

    TestDlg dlg;
    bool ownerDisabledMeanwhile = false;
    HWND activeMeanwhile = nullptr;
    dlg.onInit = [&] { ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0); };
    dlg.onApp = [&] {
        ownerDisabledMeanwhile = !owner.IsWindowEnabled();
        activeMeanwhile = BkWinManager::GetActive();
        dlg.EndDialog(7);
    };
    EXPECT_EQ(dlg.DoModal(owner.Handle()), 7);
    EXPECT_TRUE(ownerDisabledMeanwhile);
    EXPECT_NE(activeMeanwhile, nullptr);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_FALSE(dlg.IsWindow());
    EXPECT_EQ(BkWinManager::GetActive(), registered);
    owner.DestroyWindow();
}

TEST(Dialog, EscapeInAModalDialogReachesTheNotifyHandler) {
    PlainWindow owner;
    ASSERT_NE(owner.Create(nullptr, nullptr, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
    TestDlg dlg;
    dlg.onInit = [&] { ::PostMessageW(dlg.Handle(), WM_KEYDOWN, VK_ESCAPE, 0); };
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_COMMAND) dlg.EndDialog(static_cast<int>(n.item) + 100);
    };
    EXPECT_EQ(dlg.DoModal(owner.Handle()), 102);
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

TEST(Dialog, QuitDuringAModalLoopEndsTheOuterLoop) {
    PlainWindow owner;
    ASSERT_NE(owner.Create(nullptr, nullptr, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
    TestDlg dlg;
    int modalResult = -1;
    dlg.onInit = [&] { ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0); };
    dlg.onApp = [&] { ::PostQuitMessage(3); };
    owner.onApp = [&] { modalResult = dlg.DoModal(owner.Handle()); };

    platform::MessageLoop loop;
    owner.PostMessage(WM_APP);
    EXPECT_EQ(loop.Run(), 3);  // the quit was not swallowed by the modal loop
    EXPECT_EQ(modalResult, 0);
    EXPECT_FALSE(dlg.IsWindow());
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

TEST(Dialog, ModalLoopEndsWhenTheWindowIsDestroyedElsewhere) {
    TestDlg dlg;
    dlg.onInit = [&] { ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0); };
    dlg.onApp = [&] { dlg.DestroyWindow(); };
    EXPECT_EQ(dlg.DoModal(::GetDesktopWindow()), 0);
    EXPECT_FALSE(dlg.IsWindow());
}

TEST(Dialog, MissingLayoutFailsAndLeavesTheOwnerEnabled) {
    PlainWindow owner;
    ASSERT_NE(owner.Create(nullptr, nullptr, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
    TestDlg broken(nullptr);
    broken.SetResID(4321);  // no such resource, no such file
    EXPECT_EQ(broken.DoModal(owner.Handle()), 0);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(broken.Create(nullptr), nullptr);

    TestDlg garbage("<notalayer/>");
    EXPECT_FALSE(garbage.GetViewControl().IsLayoutLoaded());
    owner.DestroyWindow();
}

TEST(Dialog, HoldSizeKeepsTheLayerSize) {
    TestDlg dlg("<layer width=\"200\" height=\"100\" holdsize=\"1\" noborder=\"1\"><body/></layer>");
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.SetWindowPos(nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc = dlg.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(rc.bottom - rc.top, 100);
    dlg.DestroyWindow();
}

TEST(Dialog, MaximisingAFixedLayoutCentresItInstead) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.SetWindowPos(nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(dlg.Handle(), SW_MAXIMIZE);
    testing_support::PumpMessages(50);
    EXPECT_FALSE(dlg.GetStyle() & WS_MAXIMIZE);
    RECT rc = dlg.GetWindowRect();
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 1);
    dlg.DestroyWindow();
}

TEST(Dialog, WheelScrollsTheWindowUnderTheCursor) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    PlainWindow target;
    RECT rc = {600, 500, 700, 600};
    ASSERT_NE(target.Create(nullptr, &rc, L"target", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST), nullptr);
    testing_support::PumpMessages(50);
    EXPECT_EQ(::SendMessageW(dlg.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                             MAKELPARAM(650, 550)),
              1);
    ::SendMessageW(dlg.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(650, 550));
    EXPECT_EQ(target.scrolls, (std::vector<UINT>{SB_PAGEDOWN, SB_PAGEUP}));
    target.DestroyWindow();
    dlg.DestroyWindow();
}

// A real window inside the view that takes forwarded keys (as the browser
// host does with its accelerators).
class ForwardTaker : public platform::WindowImpl<ForwardTaker> {
public:
    bool take = true;
    std::vector<UINT> forwarded;
    WINDOW_MAP_BEGIN(ForwardTaker)
        ON_WINDOW_MESSAGE(WM_FORWARDMSG, OnForward)
    WINDOW_MAP_END()
    LRESULT OnForward(UINT, WPARAM, LPARAM lp, BOOL&) {
        forwarded.push_back(reinterpret_cast<MSG*>(lp)->message);
        return take ? 1 : 0;
    }
};

TEST(Dialog, ForwardsKeysToTheRealWindowThatHoldsTheFocus) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.ShowWindow(SW_SHOW);
    ForwardTaker holder;
    RECT rc = {5, 40, 100, 60};
    ASSERT_NE(holder.Create(dlg.GetViewControl().Handle(), &rc, L"", WS_CHILD | WS_VISIBLE, 0, 77), nullptr);
    // The focus sits in a grandchild: the forward goes to the view's child.
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, holder.Handle(), nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    ::SetFocus(edit);
    ASSERT_EQ(::GetFocus(), edit);

    MSG key = {edit, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_TRUE(dlg.PreTranslateMessage(&key));
    MSG mouse = {edit, WM_LBUTTONDOWN, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(dlg.PreTranslateMessage(&mouse));
    MSG other = {edit, WM_APP, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(dlg.PreTranslateMessage(&other));  // neither key nor mouse: not looked at
    EXPECT_EQ(holder.forwarded, (std::vector<UINT>{WM_KEYDOWN, WM_LBUTTONDOWN}));

    // A holder that declines leaves the message to the view's dialog manager.
    holder.take = false;
    MSG outside = {nullptr, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_FALSE(dlg.PreTranslateMessage(&outside));
    EXPECT_EQ(holder.forwarded.size(), 3u);
    ::DestroyWindow(edit);
    holder.DestroyWindow();
    dlg.DestroyWindow();
}

} // namespace

namespace {

// Input posted to the view goes through the modal loop's message filter and
// the view's dialog manager, as real input does.
TEST(Dialog, ModalLoopCarriesMouseAndKeysFromTheView) {
    TestDlg dlg;
    dlg.onInit = [&] {
        HWND view = dlg.GetViewControl().Handle();
        ::PostMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(20, 50));
        ::PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 50));
        ::PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(20, 50));
        ::PostMessageW(view, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(view, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0);  // ends the run should Esc get lost
    };
    dlg.onApp = [&] { dlg.EndDialog(-1); };
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_COMMAND && n.item == 2) dlg.EndDialog(42);
    };
    EXPECT_EQ(dlg.DoModal(::GetDesktopWindow()), 42);
    std::vector<Notified> commands;
    for (const auto& n : dlg.notes)
        if (n.code == BKNM_COMMAND) commands.push_back(n);
    EXPECT_EQ(commands, (std::vector<Notified>{{BKNM_COMMAND, 10, "dlg"}, Command(1), Command(2)}));
}

} // namespace
