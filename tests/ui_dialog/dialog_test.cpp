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
    LRESULT OnVScroll(UINT, WPARAM wp, LPARAM, BOOL&) { return scrolls.push_back(LOWORD(wp)), 0; }
    LRESULT OnApp(UINT, WPARAM, LPARAM, BOOL&) { if (onApp) onApp(); return 0; }
};

// An owner window made for one test and destroyed with it.
struct Owner : PlainWindow {
    Owner() { EXPECT_NE(Create(nullptr, nullptr, L"owner", WS_POPUP | WS_VISIBLE), nullptr); }
    ~Owner() { DestroyWindow(); }
};

Notified Command(UINT item) { return Notified{BKNM_COMMAND, item, ""}; }

std::vector<Notified> Commands(const std::vector<Notified>& notes) {
    std::vector<Notified> out;
    for (const auto& n : notes)
        if (n.code == BKNM_COMMAND) out.push_back(n);
    return out;
}

} // namespace

TEST(Dialog, EscapeEnterAndCloseBecomeItemsTwoAndOneUnlessCtrlOrDisabled) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    HWND hwnd = dlg.Handle();
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(hwnd));   // the close box does not destroy by itself
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{Command(2), Command(1), Command(2)}));

    dlg.notes.clear();
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    ::EnableWindow(hwnd, FALSE);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(dlg.notes.empty());
}

TEST(Dialog, DoModalEndsOnAPostedEndDialogAndReenablesTheOwner) {
    BkWinManager manager;
    Owner owner;
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
}

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
        ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0);   // ends the run should Esc get lost
    };
    dlg.onApp = [&] { dlg.EndDialog(-1); };
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_COMMAND && n.item == 2) dlg.EndDialog(42);
    };
    EXPECT_EQ(dlg.DoModal(::GetDesktopWindow()), 42);
    EXPECT_EQ(Commands(dlg.notes), (std::vector<Notified>{{BKNM_COMMAND, 10, "dlg"}, Command(1), Command(2)}));
}

TEST(Dialog, ModalLoopEndsOnQuitOrDestructionAndAMissingLayoutFails) {
    {
        Owner owner;
        TestDlg dlg;
        int modalResult = -1;
        dlg.onInit = [&] { ::PostMessageW(dlg.Handle(), WM_APP + 1, 0, 0); };
        dlg.onApp = [&] { ::PostQuitMessage(3); };
        owner.onApp = [&] { modalResult = dlg.DoModal(owner.Handle()); };
        platform::MessageLoop loop;
        owner.PostMessage(WM_APP);
        EXPECT_EQ(loop.Run(), 3);   // the quit was not swallowed by the modal loop
        EXPECT_EQ(modalResult, 0);
        EXPECT_FALSE(dlg.IsWindow());
        EXPECT_TRUE(owner.IsWindowEnabled());
    }
    TestDlg destroyed;
    destroyed.onInit = [&] { ::PostMessageW(destroyed.Handle(), WM_APP + 1, 0, 0); };
    destroyed.onApp = [&] { destroyed.DestroyWindow(); };
    EXPECT_EQ(destroyed.DoModal(::GetDesktopWindow()), 0);

    Owner owner;
    TestDlg broken(nullptr);
    broken.SetResID(4321);   // no such resource, no such file
    EXPECT_EQ(broken.DoModal(owner.Handle()), 0);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(broken.Create(nullptr), nullptr);
    EXPECT_FALSE(TestDlg("<notalayer/>").GetViewControl().IsLayoutLoaded());
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
}

namespace {

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

} // namespace

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
    MSG mouse = {edit, WM_LBUTTONDOWN, 0, 0, 0, {0, 0}};
    MSG other = {edit, WM_APP, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(dlg.PreTranslateMessage(&key));
    EXPECT_TRUE(dlg.PreTranslateMessage(&mouse));
    EXPECT_FALSE(dlg.PreTranslateMessage(&other));   // neither key nor mouse: not looked at
    EXPECT_EQ(holder.forwarded, (std::vector<UINT>{WM_KEYDOWN, WM_LBUTTONDOWN}));
    // A holder that declines leaves the message to the view's dialog manager.
    holder.take = false;
    MSG outside = {nullptr, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_FALSE(dlg.PreTranslateMessage(&outside));
    EXPECT_EQ(holder.forwarded.size(), 3u);
}
